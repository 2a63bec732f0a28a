#include "support/diagramcheck.h"
#include "support/filebytes.h"
#include "support/testsupport.h"

#include "app/diagramreader.h"
#include "app/mainwindow.h"
#include "items/entity.h"
#include "scene/diagramscene.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cerrno>
#include <cmath>
#include <climits>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray entitiesAt(const QList<QPoint>& places, int hor = 2, int ver = 2)
{
    QList<QByteArray> entities;
    for (const QPoint& place : places)
        entities.append(entityRecord("A", hor, ver, {}, place));
    return diagram(entities, {});
}

qreal numberAfter(const QByteArray& text, const QString& label)
{
    const QRegularExpression number(QRegularExpression::escape(label) + QStringLiteral(R"((\d+(\.\d+)?(e[-+]?\d+)?))"));
    return number.match(QString::fromLatin1(text)).captured(1).toDouble();
}

// As an SVG's view box or a PDF's page states it; a PDF page is at most 14,400
// units on a side, each as large as its UserUnit says.
qreal statedWidth(const QByteArray& picture)
{
    if (picture.startsWith("<?xml"))
        return numberAfter(picture, QStringLiteral("viewBox=\"0 0 "));
    const qreal width = numberAfter(picture, QStringLiteral("/MediaBox [0 0 "));
    const qreal unit = numberAfter(picture, QStringLiteral("/UserUnit "));
    return width <= 14400 ? width * (unit > 0 ? unit : 1) : 0;
}

// Two entities side by side, joined from A's right side to B's left side.
QByteArray twoJoinedEntities()
{
    return diagram({entityRecord("A"), entityRecord("B", 2, 2, {}, QPoint(400, 50))}, {lineRecord(0, 1, 1, 1, 3, 1)});
}

bool isDark(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// An antialiased one-pixel outline may fall between two pixels.
bool isDarkNear(const QImage& picture, QPoint at)
{
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (isDark(picture.pixel(at + QPoint(dx, dy))))
                return true;
        }
    }
    return false;
}

struct LineEnds {
    int entityA, sideA, indexA, entityB, sideB, indexB;
};

DiagramFile::EntityRecord entityAt(int x, int y, const QString& name, const QStringList& attributes = {}, int hor = 2,
                                   int ver = 2)
{
    DiagramFile::EntityRecord record;
    record.x = x;
    record.y = y;
    record.name = name;
    record.attributes = attributes;
    record.horConnectorCount = hor;
    record.verConnectorCount = ver;
    return record;
}

// A connector's centre is where a line end attaches: the top side's
// connector 0 sits on the entity's corner, so such a line runs from corner to corner.
LineEnds cornerToCorner(int entityA, int entityB)
{
    return {entityA, Entity::TopSide, 0, entityB, Entity::TopSide, 0};
}

// Lines are named and given multiplicities by their number, unless the
// multiplicities are given.
QByteArray diagramOf(const QList<DiagramFile::EntityRecord>& entities, const QList<LineEnds>& lines,
                     const QList<QStringList>& multiplicities = {})
{
    DiagramScene scene(nullptr, nullptr);
    QList<Entity*> made;
    for (const DiagramFile::EntityRecord& record : entities)
        made.append(scene.createEntity(record));
    for (int i = 0; i < lines.size(); ++i) {
        const LineEnds& ends = lines.at(i);
        DiagramFile::LineRecord record;
        record.name = i % 2 ? QStringLiteral("line %1").arg(i) : QString();
        record.multiplicityA = i < multiplicities.size() ? multiplicities.at(i).at(0)
                               : i % 3                   ? QStringLiteral("0..*")
                                                         : QStringLiteral("1");
        record.multiplicityB = i < multiplicities.size() ? multiplicities.at(i).at(1) : QStringLiteral("\u00e9");
        record.start = made.at(ends.entityA)->connectorAt(ends.sideA, ends.indexA);
        record.end = made.at(ends.entityB)->connectorAt(ends.sideB, ends.indexB);
        scene.createLine(record);
    }
    return savedBytes(&scene);
}

// What the editor's own scene paints for the file at this scale, nothing
// selected, from half a pixel before a whole scene point, as the renderer frames it.
QImage paintedByTheScene(const QString& path, const QSize& size, qreal scale)
{
    DiagramScene scene(nullptr, nullptr);
    if (DiagramReader(&scene).read(path) != DiagramReader::Read)
        return QImage();
    const QRectF items = scene.itemsBoundingRect();
    const qreal half = 0.5 / scale;
    const QPointF origin(std::floor(items.left() - 10) - half, std::floor(items.top() - 10) - half);
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRectF(image.rect()), Qt::white);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(origin, QSizeF(size) / scale), Qt::IgnoreAspectRatio);
    return image;
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))});
}

// Texts of many kinds, connector counts from 1 to 50 a side, or lines in
// every direction and of length 0, 1, 1.4 and 12.7; made through the scene,
// which needs the application.
QByteArray pictureTestDiagram(const QString& kind)
{
    if (kind == QLatin1String("texts"))
        return diagramOf(
        {entityAt(40, 40, QString(), {QString(), QStringLiteral("x")}),
         entityAt(200, 40, QStringLiteral("A"),
                  {QStringLiteral("id : integer"), QStringLiteral("\u00e4 \u00f6 \u00fc \u00df"), QStringLiteral("\u65e5\u672c")}),
         entityAt(420, 40, QStringLiteral("Entity with a rather long name")),
         entityAt(40, 300, QStringLiteral("Gr\u00f6\u00dfe \u2013 \u00f1"), {QStringLiteral("a\tb"), QStringLiteral(" spaced ")}),
         entityAt(300, 300, QStringLiteral("\u05e9\u05dc\u05d5\u05dd"), {QStringLiteral("mixed abc \u05d0\u05d1\u05d2")}),
         entityAt(560, 300, QStringLiteral("two\nlines"), {QString(80, QLatin1Char('w'))})},
        {{0, Entity::RightSide, 0, 1, Entity::LeftSide, 1}, {3, Entity::TopSide, 1, 4, Entity::BottomSide, 0}});
    if (kind == QLatin1String("connectors"))
        return diagramOf(
        {entityAt(40, 40, QStringLiteral("one"), {}, 1, 1), entityAt(200, 40, QStringLiteral("wide"), {}, 50, 3),
         entityAt(40, 300, QStringLiteral("tall"), {}, 3, 50), entityAt(300, 400, QStringLiteral("seven"), {}, 7, 2)},
        {{0, Entity::BottomSide, 0, 2, Entity::TopSide, 2}, {1, Entity::BottomSide, 49, 3, Entity::TopSide, 6},
         {1, Entity::LeftSide, 2, 0, Entity::RightSide, 0}, {2, Entity::RightSide, 49, 3, Entity::LeftSide, 1}});
    QList<DiagramFile::EntityRecord> around{entityAt(500, 500, QStringLiteral("centre"))};
    QList<LineEnds> rays;
    const QPoint directions[] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -2}};
    for (int i = 0; i < 8; ++i) {
        around.append(entityAt(500 + 300 * directions[i].x(), 500 + 250 * directions[i].y(), QStringLiteral("ray")));
        rays.append({0, i / 2, i % 2, i + 1, Entity::TopSide, 0});
    }
    for (const QPoint& step : {QPoint(0, 0), QPoint(1, 0), QPoint(1, 1), QPoint(9, 9)}) {
        around.append(entityAt(1200, 200 + 200 * int(rays.size() - 8), QStringLiteral("near")));
        around.append(entityAt(1200 + step.x(), around.last().y + step.y(), QStringLiteral("by")));
        rays.append(cornerToCorner(int(around.size()) - 2, int(around.size()) - 1));
    }
    return diagramOf(around, rays);
}

} // namespace

class TestRender : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { stopApplication(); }

    void pngShowsTheDiagramOnWhite();
    void pngIsWhatTheEditorsScenePaints_data();
    void pngIsWhatTheEditorsScenePaints();
    void svgAndPdfAreValid();
    void pdfTextCanBeFound();
    void textExportsAreReadBack();
    void svgHasAGroupPerItemAndDrawsAsThePng();
    void refusesBadInputAndOutput_data();
    void refusesBadInputAndOutput();
    void namesTheLargestScaleThatFits_data();
    void namesTheLargestScaleThatFits();
    void svgAndPdfStateLargePictures_data();
    void svgAndPdfStateLargePictures();
    void drawsLargePicturesInLittleMemory();
    void exitsSoonAfterLoading();

private:
    QString write(const QString& name, const QByteArray& bytes);
    int run(const QStringList& arguments, QByteArray* errors = nullptr, const std::function<void()>& inChild = {});

    QTemporaryDir folder;
};

void TestRender::init()
{
    startApplication();
    QVERIFY(folder.isValid());
}

QString TestRender::write(const QString& name, const QByteArray& bytes)
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return file.fileName();
}

int TestRender::run(const QStringList& arguments, QByteArray* errors, const std::function<void()>& inChild)
{
    QProcess renderer;
    if (inChild)
        renderer.setChildProcessModifier(inChild);
    renderer.start(QStringLiteral(DIAGRAM_RENDER), arguments);
    if (!renderer.waitForFinished(60000))
        return -1;
    if (errors)
        *errors = renderer.readAllStandardError();
    return renderer.exitStatus() == QProcess::NormalExit ? renderer.exitCode() : -1;
}

// The picture covers the items plus a margin, from half a pixel before a whole
// scene point, at 1:1 or scaled, with the entities' outlines and the line
// drawn dark on a white ground.
void TestRender::pngShowsTheDiagramOnWhite()
{
    const QString input = write(QStringLiteral("two.diagram"), twoJoinedEntities());
    QCOMPARE(DiagramReader(scene()).read(input), DiagramReader::Read);
    const QRectF items = scene()->itemsBoundingRect();

    const QString output = folder.filePath(QStringLiteral("two.png"));
    QCOMPARE(run({input, output}), 0);
    const QImage picture(output);
    const QPointF origin(std::floor(items.left() - 10) - 0.5, std::floor(items.top() - 10) - 0.5);
    QCOMPARE(picture.size(), QRectF(origin, items.bottomRight() + QPointF(10, 10)).size().toSize());
    const auto darkAt = [&](QPointF scenePoint) { return isDarkNear(picture, (scenePoint - origin).toPoint()); };
    QVERIFY(darkAt(QPointF(100, 110)));
    QVERIFY(darkAt(QPointF(400, 110)));
    QVERIFY(darkAt(QPointF(250, 90)));
    QVERIFY(!isDark(picture.pixel(0, 0)));
    QVERIFY(!darkAt(QPointF(300, 125)));

    const QString scaled = folder.filePath(QStringLiteral("two-scaled.png"));
    QCOMPARE(run({input, scaled, QStringLiteral("--scale"), QStringLiteral("2")}), 0);
    QCOMPARE(QImage(scaled).size(), picture.size() * 2);
}

void TestRender::pngIsWhatTheEditorsScenePaints_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qreal>("scale");
    for (const char* kind : {"texts", "connectors", "lines"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << qreal(1);
    QTest::newRow("texts at 2") << QStringLiteral("texts") << qreal(2);
    QTest::newRow("lines at 0.35") << QStringLiteral("lines") << qreal(0.35);
    QTest::newRow("connectors at 1.5") << QStringLiteral("connectors") << qreal(1.5);
}

// Whatever way the renderer takes, its picture is the editor's: antialiasing
// may differ by a few levels on a few pixels, nothing more.
void TestRender::pngIsWhatTheEditorsScenePaints()
{
    QFETCH(QString, kind);
    QFETCH(qreal, scale);
    const QString input = write(QStringLiteral("picture.diagram"), pictureTestDiagram(kind));
    const QString output = folder.filePath(QStringLiteral("picture.png"));
    QCOMPARE(run({input, output, QStringLiteral("--scale"), QString::number(scale)}), 0);
    const QImage rendered = QImage(output).convertToFormat(QImage::Format_RGB32);
    const QImage painted = paintedByTheScene(input, rendered.size(), scale);
    QVERIFY(!rendered.isNull() && !painted.isNull());
    QCOMPARE(painted.format(), rendered.format());
    int differing = 0;
    for (int y = 0; y < rendered.height(); ++y) {
        const auto* renderedRow = reinterpret_cast<const QRgb*>(rendered.constScanLine(y));
        const auto* paintedRow = reinterpret_cast<const QRgb*>(painted.constScanLine(y));
        for (int x = 0; x < rendered.width(); ++x) {
            const int difference = channelDifference(renderedRow[x], paintedRow[x]);
            if (difference > 8)
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2 differs by %3").arg(x).arg(y).arg(difference)));
            differing += difference > 0;
        }
    }
    QVERIFY2(differing <= rendered.width() * rendered.height() / 200, qPrintable(QString::number(differing)));
}

void TestRender::svgAndPdfAreValid()
{
    const QString input = write(QStringLiteral("two.diagram"), twoJoinedEntities());
    const QString svg = folder.filePath(QStringLiteral("two.svg"));
    const QString pdf = folder.filePath(QStringLiteral("two.PDF"));
    QCOMPARE(run({input, svg}), 0);
    QCOMPARE(run({input, pdf}), 0);

    QFile svgFile(svg);
    QVERIFY(svgFile.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&svgFile);
    QVERIFY(reader.readNextStartElement());
    QCOMPARE(reader.name(), QStringLiteral("svg"));
    while (!reader.atEnd())
        reader.readNext();
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));

    QFile pdfFile(pdf);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    QVERIFY(pdfFile.read(5) == "%PDF-");
}

// The PDF keeps its texts as text, which a reader of PDF finds.
void TestRender::pdfTextCanBeFound()
{
    const QString input = write(QStringLiteral("named.diagram"),
                                diagram({entityRecord("Customer", 2, 2, "customer_id : integer"),
                                         entityRecord("Gr\xc3\xb6\xc3\x9f" "e", 2, 2, {}, QPoint(400, 50))},
                                        {lineRecord(0, Entity::RightSide, 1, 1, Entity::LeftSide, 1)}));
    const QString pdf = folder.filePath(QStringLiteral("named.pdf"));
    QCOMPARE(run({input, pdf}), 0);
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(reader.waitForFinished(30000));
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    for (const char* expected : {"Customer", "customer_id : integer", "Gr\xc3\xb6\xc3\x9f" "e"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(text));
}

// Each entity a group titled with its name, each line a group, texts as text
// (control characters left out, markup escaped), sized as the PNG; and a real
// SVG renderer draws what the PNG shows, but for antialiasing and glyph edges.
void TestRender::svgHasAGroupPerItemAndDrawsAsThePng()
{
    const QString input = write(QStringLiteral("texts.diagram"),
                                diagram({entityRecord("A<&>", 2, 3, "id : integer", QPoint(100, 50)),
                                         entityRecord("B\xc3\xa4", 4, 2, {}, QPoint(400, 120))},
                                        {lineRecord(0, Entity::RightSide, 1, 1, Entity::LeftSide, 1)}));
    const QString svg = folder.filePath(QStringLiteral("texts.svg"));
    const QString png = folder.filePath(QStringLiteral("texts.png"));
    const QString drawn = folder.filePath(QStringLiteral("texts-drawn.png"));
    QCOMPARE(run({input, svg}), 0);
    QCOMPARE(run({input, png}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"), svg}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral("rsvg-convert"), {svg, QStringLiteral("-o"), drawn}), 0);
    const QString control = write(QStringLiteral("control.diagram"), diagram({entityRecord("C\x01\x1f")}, {}));
    const QString controlSvg = folder.filePath(QStringLiteral("control.svg"));
    QCOMPARE(run({control, controlSvg}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"), controlSvg}), 0);

    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList groups;
    QStringList texts;
    const QImage picture(png);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("svg")) {
            QCOMPARE(xml.attributes().value("width").toInt(), picture.width());
            QCOMPARE(xml.attributes().value("height").toInt(), picture.height());
        } else if (name == QLatin1String("g") && !xml.attributes().value("class").isEmpty()) {
            groups << xml.attributes().value("class").toString();
        } else if (name == QLatin1String("title") || name == QLatin1String("text")) {
            texts << xml.readElementText();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(groups, (QStringList{"line", "entity", "entity"}));
    QCOMPARE(texts, (QStringList{"r", "1", "*", "A<&>", "A<&>", "id : integer", "B\u00e4", "B\u00e4"}));

    const QImage drawing = QImage(drawn).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(drawing.size(), picture.size());
    // A glyph or an antialiased edge may fall a pixel further; anything else
    // missing or misplaced leaves a pixel with no like neighbour.
    const auto hasLikeNeighbour = [](const QImage& image, int x, int y, int gray) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint at(x + dx, y + dy);
                if (image.rect().contains(at) && qAbs(qGray(image.pixel(at)) - gray) <= 96)
                    return true;
            }
        }
        return false;
    };
    int unlike = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int gray = qGray(picture.pixel(x, y));
            if (qAbs(gray - qGray(drawing.pixel(x, y))) <= 64)
                continue;
            ++unlike;
            QVERIFY2(hasLikeNeighbour(drawing, x, y, gray),
                     qPrintable(QStringLiteral("pixel %1, %2 has nothing like it nearby").arg(x).arg(y)));
        }
    }
    QVERIFY2(unlike < picture.width() * picture.height() / 50, qPrintable(QString::number(unlike)));
}

// Graphviz reads the .dot; the .mmd has Mermaid's structure: one entity a
// name, however the names repeat or what they hold, attributes as words,
// relationships with the cardinality marks of their multiplicities.
void TestRender::textExportsAreReadBack()
{
    const QList<DiagramFile::EntityRecord> entities{
        entityAt(40, 40, QStringLiteral("customer"), {QStringLiteral("id : integer PK"), QStringLiteral("Gr\u00f6\u00dfe")}),
        entityAt(300, 40, QStringLiteral("customer"), {QStringLiteral("customer_id : character varying(20) PK FK")}),
        entityAt(40, 300, QStringLiteral("a \"quoted\" {record} <port> | bar\\")),
        entityAt(300, 300, QString())};
    const QList<LineEnds> lines{{0, Entity::RightSide, 0, 1, Entity::LeftSide, 0},
                                {0, Entity::BottomSide, 0, 2, Entity::TopSide, 0},
                                {1, Entity::BottomSide, 0, 3, Entity::TopSide, 0},
                                {2, Entity::RightSide, 0, 3, Entity::LeftSide, 0}};
    const QString input = write(QStringLiteral("export.diagram"),
                                diagramOf(entities, lines,
                                          {{QStringLiteral("1"), QStringLiteral("*")},
                                           {QStringLiteral("0..1"), QStringLiteral("1..*")},
                                           {QStringLiteral("n"), QStringLiteral("0..*")},
                                           {QStringLiteral("2..5"), QStringLiteral("1")}}));
    const QString dot = folder.filePath(QStringLiteral("export.dot"));
    const QString mermaid = folder.filePath(QStringLiteral("export.mmd"));
    QCOMPARE(run({input, dot}), 0);
    QCOMPARE(run({input, mermaid}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral("dot"), {QStringLiteral("-Tsvg"), dot, QStringLiteral("-o"),
                                                       folder.filePath(QStringLiteral("export-dot.svg"))}),
             0);

    QFile file(mermaid);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList text = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(text.value(0), QStringLiteral("erDiagram"));
    const QRegularExpression entity(QStringLiteral(R"re(^    ("[^"\n]*")( \{)?$)re"));
    const QRegularExpression attribute(
        QStringLiteral(R"re(^        [A-Za-z_][\w\-\[\]()]* [A-Za-z_][\w\-\[\]()]*( (PK|FK)(, (PK|FK))*)?( "[^"]*")?$)re"));
    const QRegularExpression relationship(QStringLiteral(R"re(^    ("[^"]*") (\|\||\|o|\}o|\}\|)--(\|\||o\||o\{|\|\{) ("[^"]*") : "([^"]*)"$)re"));
    QStringList names;
    QStringList relationships;
    for (const QString& line : text.mid(1)) {
        if (const QRegularExpressionMatch match = entity.match(line); match.hasMatch())
            names << match.captured(1);
        else if (const QRegularExpressionMatch match = relationship.match(line); match.hasMatch())
            relationships << match.captured(2) + match.captured(3) + QLatin1Char(' ') + match.captured(5);
        else
            QVERIFY2(attribute.match(line).hasMatch() || line == QLatin1String("    }"), qPrintable(line));
    }
    QCOMPARE(names.size(), entities.size());
    QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    relationships.sort();
    QCOMPARE(relationships, (QStringList{"|o|{ line 1", "||o{ ", "}oo{ ", "}o|| line 3 (2..5)"}));
}

void TestRender::refusesBadInputAndOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString good = QStringLiteral("$good");
    const QString out = QStringLiteral("$out.png");
    QTest::newRow("no output") << QStringList{good} << 2 << "usage:";
    QTest::newRow("unknown suffix") << QStringList{good, QStringLiteral("$out.gif")} << 2 << "usage:";
    for (const char* scale : {"0", "-1", "nan", "inf", "16.5"})
        QTest::addRow("scale %s", scale) << QStringList{good, out, QStringLiteral("--scale"), scale} << 2 << "usage:";
    // A pipe without a writer or an endless device must not keep it waiting.
    for (const char* input : {"$missing", "$cut", "$pipe", "$folder", "/dev/zero", "/dev/urandom"})
        QTest::addRow("input %s", input) << QStringList{input, out} << 1 << "File reading error.";
    QTest::newRow("past the largest pdf page") << QStringList{QStringLiteral("$huge"), QStringLiteral("$out.pdf")} << 1
                                               << "Picture too large for a PDF page";
    // An existing pipe or device is never replaced by a regular file.
    QTest::newRow("output a pipe") << QStringList{good, QStringLiteral("$pipe")} << 1 << "File writing error.";
    QTest::newRow("folder missing") << QStringList{good, QStringLiteral("$nofolder/out.png")} << 1
                                    << "File writing error.";
}

// Every refusal says why, exits with its code and leaves OUT as it was.
void TestRender::refusesBadInputAndOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QByteArray diagram = twoJoinedEntities();
    const QString good = write(QStringLiteral("good.diagram"), diagram);
    const QString cut = write(QStringLiteral("cut.diagram"), diagram.left(diagram.size() - 1));
    const QString previous = write(QStringLiteral("out.png"), "previous");
    const QString pipe = folder.filePath(QStringLiteral("pipe.png"));
    QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0 || errno == EEXIST);
    const QHash<QString, QString> paths{
        {QStringLiteral("$good"), good},
        {QStringLiteral("$cut"), cut},
        {QStringLiteral("$huge"), write(QStringLiteral("huge.diagram"), entitiesAt({{INT_MIN, 0}, {INT_MAX, 0}}))},
        {QStringLiteral("$pipe"), pipe},
        {QStringLiteral("$folder"), folder.path()},
        {QStringLiteral("$missing"), folder.filePath(QStringLiteral("missing.diagram"))},
        {QStringLiteral("$nofolder"), folder.filePath(QStringLiteral("nofolder"))},
        {QStringLiteral("$out"), folder.filePath(QStringLiteral("out"))}};
    for (QString& argument : arguments) {
        for (auto path = paths.cbegin(); path != paths.cend(); ++path)
            argument.replace(path.key(), path.value());
    }
    QByteArray errors;
    QCOMPARE(run(arguments, &errors), exitCode);
    QVERIFY2(errors.contains(message.toUtf8()), errors.constData());
    if (message == QLatin1String("File reading error."))
        QVERIFY(errors.contains(QFile::encodeName(arguments.first())));
    QFile kept(previous);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("previous"));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("nofolder/out.png"))));
    QVERIFY(!QFileInfo(pipe).isFile());
}

void TestRender::namesTheLargestScaleThatFits_data()
{
    QTest::addColumn<QList<QPoint>>("places");
    QTest::addColumn<QString>("scale");
    QTest::newRow("wider than a side") << QList<QPoint>{{0, 0}, {40000, 0}} << "1";
    QTest::newRow("more pixels than allowed") << QList<QPoint>{{0, 0}, {20000, 20000}} << "1";
    QTest::newRow("too large once scaled") << QList<QPoint>{{0, 0}, {3000, 0}} << "16";
    QTest::newRow("ends of the int range") << QList<QPoint>{{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}} << "1";
}

// The scale named fits, and one a tenth larger does not. Past the size check
// only the missing folder stops the renderer, before it allocates the picture.
void TestRender::namesTheLargestScaleThatFits()
{
    QFETCH(QList<QPoint>, places);
    QFETCH(QString, scale);
    const QString input = write(QStringLiteral("large.diagram"), entitiesAt(places));
    const QString unwritable = folder.filePath(QStringLiteral("nofolder/out.png"));
    const auto refusal = [&](const QString& atScale) {
        QByteArray errors;
        return run({input, unwritable, QStringLiteral("--scale"), atScale}, &errors) == 1 ? errors : "exit code";
    };
    const QByteArray errors = refusal(scale);
    const qreal largest = numberAfter(errors, QStringLiteral("the largest scale that fits is "));
    QVERIFY2(largest > 0, errors.constData());
    QVERIFY(refusal(QString::number(largest, 'g', 17)).contains("File writing error."));
    QVERIFY(refusal(QString::number(largest * 1.1, 'g', 17)).contains("Picture too large"));
}

void TestRender::svgAndPdfStateLargePictures_data()
{
    QTest::addColumn<QList<QPoint>>("places");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("svg wider than an int") << QList<QPoint>{{INT_MIN, 0}, {INT_MAX, 0}} << "svg";
    QTest::newRow("pdf past 14,400 points") << QList<QPoint>{{0, 0}, {100000, 0}} << "pdf";
    QTest::newRow("largest pdf page") << QList<QPoint>{{0, 0}, {1079999000, 0}} << "pdf";
}

void TestRender::svgAndPdfStateLargePictures()
{
    QFETCH(QList<QPoint>, places);
    QFETCH(QString, suffix);
    const QString input = write(QStringLiteral("large.diagram"), entitiesAt(places));
    QCOMPARE(DiagramReader(scene()).read(input), DiagramReader::Read);
    const qreal width = scene()->itemsBoundingRect().width() + 20;
    const QString output = folder.filePath(QStringLiteral("large.") + suffix);
    QCOMPARE(run({input, output}), 0);
    const qreal stated = statedWidth(fileBytes(output));
    QVERIFY2(qAbs(stated / width - 1) < 1e-5, qPrintable(QString::number(stated)));
}

// A picture within the PNG limits but past the memory the renderer may take.
// A picture is drawn a band at a time, so one far larger than the memory
// allowed is still drawn.
void TestRender::drawsLargePicturesInLittleMemory()
{
    const auto limitMemory = [] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = rlim_t(512) << 20;
        setrlimit(RLIMIT_AS, &limit);
    };
    if (run({write(QStringLiteral("two.diagram"), twoJoinedEntities()), folder.filePath(QStringLiteral("two.png"))},
            nullptr, limitMemory)
        != 0)
        QSKIP("The renderer needs more address space than the limit, as under AddressSanitizer.");
    const QString input = write(QStringLiteral("square.diagram"), entitiesAt({{0, 0}, {16000, 16000}}));
    const QString output = folder.filePath(QStringLiteral("square.png"));
    QCOMPARE(run({input, output}, nullptr, limitMemory), 0);
    QVERIFY(QImageReader(output).size().width() > 16000);
}

// The renderer's run less its start-up, on an output it cannot write, is its
// loading and its exit; the exit may take about twice the loading.
void TestRender::exitsSoonAfterLoading()
{
    // 2,000 entities with 100,000 connectors, the most a file may hold: many
    // items that are quick to make.
    QList<QPoint> grid;
    for (int i = 0; i < 2000; ++i)
        grid.append(QPoint(i % 45 * 220, i / 45 * 220));
    const QString input = write(QStringLiteral("large.diagram"), entitiesAt(grid, 12, 13));
    const QString unwritable = folder.filePath(QStringLiteral("nofolder/out.svg"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(DiagramReader(scene()).read(input), DiagramReader::Read);
    const qint64 loading = clock.restart();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(run({write(QStringLiteral("two.diagram"), twoJoinedEntities()), unwritable}), 1);
    const qint64 startUp = clock.restart();
    QCOMPARE(run({input, unwritable}), 1);
    const qint64 rest = clock.elapsed() - startUp;
    QVERIFY2(rest < 3 * loading + 500, qPrintable(QStringLiteral("%1 ms after loading in %2 ms").arg(rest).arg(loading)));
}

DIAGRAM_TEST_MAIN(TestRender)
#include "tst_render.moc"
