#include "support/diagramcheck.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "scene/diagramscene.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

QByteArray intBytes(int value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((quint32(value) >> (8 * i)) & 0xff);
    return bytes;
}

QByteArray stringBytes(const QByteArray& text)
{
    return intBytes(int(text.size())) + text;
}

QByteArray entityBytes(int x, int y, const QByteArray& name)
{
    return intBytes(x) + intBytes(y) + stringBytes(name) + intBytes(2) + intBytes(2) + intBytes(0);
}

// Two entities side by side, joined from A's right side to B's left side.
QByteArray twoJoinedEntities()
{
    return intBytes(2) + entityBytes(100, 50, "A") + entityBytes(400, 50, "B") + intBytes(1) + stringBytes("r")
           + stringBytes("1") + stringBytes("*") + intBytes(0) + intBytes(1) + intBytes(1) + intBytes(1)
           + intBytes(3) + intBytes(1);
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

} // namespace

class TestRender : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { stopApplication(); }

    void pngShowsTheDiagramOnWhite();
    void svgAndPdfAreValid();
    void refusesBadInputAndOutput_data();
    void refusesBadInputAndOutput();

private:
    QString write(const QString& name, const QByteArray& bytes);
    int run(const QStringList& arguments, QByteArray* errors = nullptr);

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

int TestRender::run(const QStringList& arguments, QByteArray* errors)
{
    QProcess renderer;
    renderer.start(QStringLiteral(DIAGRAM_RENDER), arguments);
    if (!renderer.waitForFinished(60000))
        return -1;
    if (errors)
        *errors = renderer.readAllStandardError();
    return renderer.exitStatus() == QProcess::NormalExit ? renderer.exitCode() : -1;
}

// The picture covers the items plus a margin, at 1:1 or scaled, with the
// entities' outlines and the line drawn dark on a white ground.
void TestRender::pngShowsTheDiagramOnWhite()
{
    const QString input = write(QStringLiteral("two.diagram"), twoJoinedEntities());
    FILE* file = fopen(QFile::encodeName(input).constData(), "rb");
    QVERIFY(readDiagramInto(scene(), file));
    fclose(file);
    const QRectF items = scene()->itemsBoundingRect();

    const QString output = folder.filePath(QStringLiteral("two.png"));
    QCOMPARE(run({input, output}), 0);
    const QImage picture(output);
    QCOMPARE(picture.size(), items.adjusted(-10, -10, 10, 10).size().toSize());
    const QPointF origin = items.topLeft() - QPointF(10, 10);
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

void TestRender::refusesBadInputAndOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString good = QStringLiteral("$good");
    const QString out = QStringLiteral("$out.png");
    QTest::newRow("no output") << QStringList{good} << 2 << "usage:";
    QTest::newRow("unknown suffix") << QStringList{good, QStringLiteral("$out.gif")} << 2 << "usage:";
    QTest::newRow("bad scale") << QStringList{good, out, QStringLiteral("--scale"), QStringLiteral("0")} << 2
                               << "usage:";
    QTest::newRow("missing input") << QStringList{QStringLiteral("$missing"), out} << 1 << "File reading error.";
    QTest::newRow("damaged input") << QStringList{QStringLiteral("$cut"), out} << 1 << "File reading error.";
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
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("$good"), good)
            .replace(QStringLiteral("$cut"), cut)
            .replace(QStringLiteral("$missing"), folder.filePath(QStringLiteral("missing.diagram")))
            .replace(QStringLiteral("$nofolder"), folder.filePath(QStringLiteral("nofolder")))
            .replace(QStringLiteral("$out"), folder.filePath(QStringLiteral("out")));
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
}

DIAGRAM_TEST_MAIN(TestRender)
#include "tst_render.moc"
