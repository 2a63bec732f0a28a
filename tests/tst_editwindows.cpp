#include "support/testsupport.h"

#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "items/linelabel.h"
#include "scene/diagramscene.h"
#include "ui/entityeditwindow.h"
#include "ui/lineeditwindow.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

class TestEditWindows : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void entityWindowLoadsEntity_data();
    void entityWindowLoadsEntity();
    void attributeListButtons_data();
    void attributeListButtons();
    void entityWindowStoresOnlyOnApply_data();
    void entityWindowStoresOnlyOnApply();
    void lineWindowEditsTexts_data();
    void lineWindowEditsTexts();

private:
    // Clear of the connectors on the outline; text items pass the clicks on.
    bool openEntityWindow(Entity* entity)
    {
        doubleClickAt(entity->pos() + QPointF(12, std::min(entity->rect().height(), 80.0) - 10));
        return sharedWindow<EntityEditWindow>()->isVisible();
    }
    template<typename T>
    T* widget(const char* name) const
    {
        return sharedWindow<EntityEditWindow>()->findChild<T*>(QLatin1String(name));
    }
    void click(const char* button) { QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton); }
    void clickRow(int row)
    {
        auto* list = widget<QListWidget>("attributeList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    // "name,[current],other 3x3 field": the current item in brackets, the
    // attribute name field in parentheses while it is read-only.
    QString shown() const
    {
        auto* list = widget<QListWidget>("attributeList");
        QStringList texts{widget<QLineEdit>("nameEdit")->text()};
        for (int row = 0; row < list->count(); ++row)
            texts << (row == list->currentRow() ? "[" + list->item(row)->text() + "]" : list->item(row)->text());
        auto* field = widget<QLineEdit>("attributeNameEdit");
        return QStringLiteral("%1 %2x%3 %4").arg(texts.join(',')).arg(widget<QSpinBox>("horConnectorsSpin")->value())
            .arg(widget<QSpinBox>("verConnectorsSpin")->value())
            .arg(field->isReadOnly() ? "(" + field->text() + ")" : field->text());
    }
    static QString stored(const Entity* entity)
    {
        QStringList texts{entity->name()};
        for (int i = 0; i < entity->attributeCount(); ++i)
            texts << entity->attributeName(i);
        return QStringLiteral("%1 %2x%3").arg(texts.join(',')).arg(entity->horConnectorCount())
            .arg(entity->verConnectorCount());
    }
    static void retype(QLineEdit* edit, const QString& text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
};

void TestEditWindows::entityWindowLoadsEntity_data()
{
    QTest::addColumn<int>("hor");
    QTest::addColumn<int>("ver");
    QTest::addColumn<QList<int>>("linesPerSide");
    QTest::addColumn<int>("horMinimum");
    QTest::addColumn<int>("verMinimum");
    QTest::newRow("new entity") << 2 << 2 << QList<int>{0, 0, 0, 0} << 2 << 2;
    QTest::newRow("two on top, one at the bottom") << 2 << 2 << QList<int>{2, 0, 1, 0} << 3 << 2;
    QTest::newRow("one left, two right") << 2 << 2 << QList<int>{0, 2, 0, 1} << 2 << 3;
    QTest::newRow("99 and 120") << 99 << 120 << QList<int>{0, 0, 0, 0} << 2 << 2;
    QTest::newRow("1000 each") << 1000 << 1000 << QList<int>{0, 0, 0, 0} << 2 << 2;
}

// The minimums must count the busiest side of each pair, or Apply could ask
// for fewer connectors than there are lines; the maximum must hold every count
// that "Add Connectors" can make, or Apply cuts it down.
void TestEditWindows::entityWindowLoadsEntity()
{
    QFETCH(int, hor);
    QFETCH(int, ver);
    QFETCH(QList<int>, linesPerSide);
    QFETCH(int, horMinimum);
    QFETCH(int, verMinimum);
    Entity* entity = addEntity(5000, 5000);
    entity->setHorConnectorCount(hor);
    entity->setVerConnectorCount(ver);
    entity->updateLayout();
    for (int side = Entity::TopSide, partners = 0; side <= Entity::LeftSide; ++side) {
        for (int i = 0; i < linesPerSide[side]; ++i)
            QVERIFY(joinByMouse(entity->connectorAt(side, i), addEntity(4000 + 200 * partners++, 4300)->connectorAt(0, 0)));
    }
    QVERIFY(openEntityWindow(entity));
    QCOMPARE(sharedWindow<EntityEditWindow>()->windowTitle(), QStringLiteral("Entity editing"));
    QCOMPARE(sharedWindow<EntityEditWindow>()->windowModality(), Qt::ApplicationModal);
    QCOMPARE(shown(), QStringLiteral("Unknown %1x%2 ()").arg(hor + 1).arg(ver + 1));
    auto* horSpin = widget<QSpinBox>("horConnectorsSpin");
    auto* verSpin = widget<QSpinBox>("verConnectorsSpin");
    QCOMPARE(QList<int>({horSpin->minimum(), verSpin->minimum(), horSpin->maximum(), verSpin->maximum()}),
             QList<int>({horMinimum, verMinimum, 1001, 1001}));
    click("applyButton");
    QCOMPARE(stored(entity), QStringLiteral("Unknown %1x%2").arg(hor).arg(ver));
}

void TestEditWindows::attributeListButtons_data()
{
    // a Add, d Delete, u Up, n Down, c Clear, t types "X" into the attribute
    // name field, a digit clicks that row.
    QTest::addColumn<QStringList>("attributes");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    const QStringList abc{"a", "b", "c"};
    QTest::newRow("empty list") << QStringList() << "dunc" << "Unknown 3x3 ()";
    QTest::newRow("no current item") << abc << "dunt" << "Unknown,a,b,c 3x3 ()";
    QTest::newRow("up on first row") << abc << "0u" << "Unknown,[a],b,c 3x3 a";
    QTest::newRow("down on last row") << abc << "2n" << "Unknown,a,b,[c] 3x3 c";
    QTest::newRow("up from middle") << abc << "1u" << "Unknown,[b],a,c 3x3 b";
    QTest::newRow("down from middle") << abc << "1n" << "Unknown,a,c,[b] 3x3 b";
    QTest::newRow("first to last") << abc << "0nn" << "Unknown,b,c,[a] 3x3 a";
    QTest::newRow("last to first") << abc << "2uu" << "Unknown,[c],a,b 3x3 c";
    QTest::newRow("typing renames current") << abc << "1tt" << "Unknown,a,[bXX],c 3x3 bXX";
    QTest::newRow("delete middle") << abc << "1d" << "Unknown,a,[c] 3x3 c";
    QTest::newRow("delete last") << abc << "2d" << "Unknown,a,[b] 3x3 b";
    QTest::newRow("delete only, then type") << QStringList{"a"} << "0dt" << "Unknown 3x3 aX";
    QTest::newRow("clear, then type") << abc << "1ct" << "Unknown 3x3 (b)";
    QTest::newRow("clear, add and click") << abc << "1ca0" << "Unknown,[Unknown] 3x3 Unknown";
    QTest::newRow("add without current") << abc << "a" << "Unknown,a,b,c,Unknown 3x3 ()";
    QTest::newRow("add keeps current") << abc << "1a" << "Unknown,a,[b],c,Unknown 3x3 b";
    QTest::newRow("move added up") << abc << "a3u" << "Unknown,a,b,[Unknown],c 3x3 Unknown";
}

// The name field writes into whatever item is current, so it must be cut off
// from the list exactly when no item can be reached any more.
void TestEditWindows::attributeListButtons()
{
    QFETCH(QStringList, attributes);
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    Entity* entity = addEntity(5000, 5000);
    for (const QString& text : attributes)
        entity->addAttribute(text);
    entity->updateLayout();
    QVERIFY(openEntityWindow(entity));
    const QHash<QChar, const char*> buttons{
        {'a', "addButton"}, {'d', "deleteButton"}, {'u', "upButton"}, {'n', "downButton"}, {'c', "clearButton"}};
    for (const QChar step : steps) {
        if (step.isDigit())
            clickRow(step.digitValue());
        else if (step == 't')
            QTest::keyClicks(widget<QLineEdit>("attributeNameEdit"), "X");
        else
            click(buttons.value(step));
    }
    QCOMPARE(shown(), expected);
    click("cancelButton");
    QCOMPARE(entity->attributeCount(), attributes.size());
}

void TestEditWindows::entityWindowStoresOnlyOnApply_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Apply") << "Apply";
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("window closed") << "close";
    QTest::newRow("Reset") << "Reset";
    QTest::newRow("Return and Escape") << "keys";
}

// Apply must store everything before its one layout, so that size, connectors
// and attached lines all follow the new texts and counts.
void TestEditWindows::entityWindowStoresOnlyOnApply()
{
    QFETCH(QString, action);
    Entity* entity = addEntity(5000, 5000);
    entity->setName(QStringLiteral("Order"));
    entity->addAttribute(QStringLiteral("id"));
    entity->updateLayout();
    const QRectF rect = entity->rect();
    Line* line = joinByMouse(entity->connectorAt(Entity::RightSide, 1), addEntity(5500, 5000)->connectorAt(3, 1));
    QVERIFY(line);
    QVERIFY(openEntityWindow(entity));
    QWidget* window = sharedWindow<EntityEditWindow>();
    app()->setModified(false);
    retype(widget<QLineEdit>("nameEdit"), QStringLiteral("A rather long entity name"));
    click("addButton");
    clickRow(0);
    QTest::keyClicks(widget<QLineEdit>("attributeNameEdit"), "X");
    widget<QSpinBox>("horConnectorsSpin")->setValue(4);
    widget<QSpinBox>("verConnectorsSpin")->setValue(5);
    const QString edited = QStringLiteral("A rather long entity name,[idX],Unknown 4x5 idX");
    QCOMPARE(shown(), edited);

    if (action == "Apply")
        click("applyButton");
    if (action == "close")
        window->close();
    if (action == "keys") {
        QTest::keyClick(widget<QLineEdit>("nameEdit"), Qt::Key_Return);
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(shown(), edited);
    }
    if (action == "Reset") {
        click("resetButton");
        QCOMPARE(shown(), QStringLiteral("Order,id 3x3 idX"));
    }
    if (action == "Cancel" || action == "keys" || action == "Reset") {
        QVERIFY(window->isVisible());
        click("cancelButton");
    }
    QVERIFY(!window->isVisible());
    QVERIFY(!app()->isModified());
    if (action != "Apply") {
        QCOMPARE(stored(entity), QStringLiteral("Order,id 2x2"));
        QCOMPARE(entity->rect(), rect);
        return;
    }
    QCOMPARE(stored(entity), QStringLiteral("A rather long entity name,idX,Unknown 3x4"));
    // The same changes made directly, with one layout at the end.
    Entity* reference = addEntity(0, 0);
    reference->setName(QStringLiteral("A rather long entity name"));
    reference->addAttribute(QStringLiteral("idX"));
    reference->addAttribute(QStringLiteral("Unknown"));
    reference->setHorConnectorCount(3);
    reference->setVerConnectorCount(4);
    reference->updateLayout();
    QVERIFY(entity->rect() != rect);
    QCOMPARE(entity->rect(), reference->rect());
    QCOMPARE(textItemsOf(entity).at(1 + 1)->pos(), textItemsOf(reference).at(1 + 1)->pos());
    for (int k = 0; k < 3; ++k)
        QCOMPARE(centreOf(entity->connectorAt(0, k)) - entity->pos(), centreOf(reference->connectorAt(0, k)));
    QCOMPARE(line->line().p1() - entity->pos(), centreOf(reference->connectorAt(Entity::RightSide, 1)));
}

void TestEditWindows::lineWindowEditsTexts_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("expected");
    const QStringList initial{"Unknown", "1", "1"};
    const QStringList xyz{"x", "y", "z"};
    QTest::newRow("apply empty fields") << QStringList{"", "", ""} << "applyButton" << QStringList{"", "", ""};
    QTest::newRow("apply texts") << QStringList{"owns many", "0..1", "*"} << "applyButton"
                                 << QStringList{"owns many", "0..1", "*"};
    QTest::newRow("reset") << xyz << "resetButton" << initial;
    QTest::newRow("cancel") << xyz << "cancelButton" << initial;
    QTest::newRow("window closed") << xyz << "" << initial;
}

// Apply sets the texts only: each label keeps its place until the line moves.
void TestEditWindows::lineWindowEditsTexts()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, button);
    QFETCH(QStringList, expected);
    Line* line = joinByMouse(addEntity(4700, 5000)->connectorAt(Entity::RightSide, 1),
                      addEntity(5300, 5000)->connectorAt(Entity::LeftSide, 1));
    QVERIFY(line);
    const auto labelPlaces = [line] {
        return QList<QPointF>{labelsOf(line).at(0)->pos(), labelsOf(line).at(1)->pos(),
                              labelsOf(line).at(2)->pos()};
    };
    const QList<QPointF> places = labelPlaces();

    doubleClickAt(line->line().pointAt(0.25)); // clear of all three labels
    QWidget* window = sharedWindow<LineEditWindow>();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Line editing"));
    QList<QLineEdit*> fields;
    for (const char* name : {"nameEdit", "multiplicityAEdit", "multiplicityBEdit"})
        fields << window->findChild<QLineEdit*>(name);
    const auto fieldTexts = [&] { return QStringList{fields[0]->text(), fields[1]->text(), fields[2]->text()}; };
    QCOMPARE(fieldTexts(), (QStringList{"Unknown", "1", "1"}));
    app()->setModified(false);
    for (int i = 0; i < 3; ++i)
        retype(fields[i], typed[i]);
    if (button.isEmpty())
        window->close();
    else
        QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    if (button == "resetButton") {
        QCOMPARE(fieldTexts(), expected);
        QTest::mouseClick(window->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    }
    QVERIFY(!window->isVisible());
    QCOMPARE((QStringList{line->name(), line->multiplicityA(), line->multiplicityB()}), expected);
    QCOMPARE(labelPlaces(), places);
    QVERIFY(!app()->isModified());
}

DIAGRAM_TEST_MAIN(TestEditWindows)
#include "tst_editwindows.moc"
