#include "KelvarinError.h"
#include "TableFile.h"
#include "TableNumber.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(TableKind)

// The values of a read table in a locale-free form: numbers with 17 digits,
// rows joined by "|", values by " ".
static QString dump(const TableFile::Content &content)
{
    QStringList rows;
    for (const QList<double> &row : content.rows) {
        QStringList values;
        for (double v : row)
            values << QString::number(v, 'g', 17);
        rows << values.join(QLatin1Char(' '));
    }
    for (const QString &value : content.values)
        rows << QLatin1Char('[') + value + QLatin1Char(']');
    return rows.join(QLatin1Char('|'));
}

// The eight camera lines and the twenty-one orientation lines with a value each.
static QByteArray parameterFile(int lines, const QString &firstValue = QStringLiteral("1"))
{
    QByteArray bytes;
    for (int i = 0; i < lines; ++i) {
        const QString value = i == 0 ? firstValue : QString::number(i + 1);
        bytes += value.toUtf8() + " ; \xCA\xEE\xEC\xEC\xE5\xED\xF2\xE0\xF0\xE8\xE9\r\n";
    }
    return bytes;
}

class TestTableFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void parameterFiles_data();
    void parameterFiles();
    void readMissingFile();
    void format_data();
    void format();
    void invalidTable_data();
    void invalidTable();
    void cameraFileBytes();
    void roundTrip_data();
    void roundTrip();
    void numberForm_data();
    void numberForm();
    void writeFailureKeepsOldFile();
    void untouchedLinesKept_data();
    void untouchedLinesKept();
};

void TestTableFile::parse_data()
{
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("values");

    const auto zone = TableKind::Zone;
    QTest::newRow("zone four values") << zone << QByteArray("10;20;110;120\r\n") << true << "10 20 110 120";
    QTest::newRow("zone six values, spaces") << zone << QByteArray(" 100 ; 50 ; 140 ; 90 ; 120.5 ; 70.25 \r\n")
                                             << true << "100 50 140 90 120.5 70.25";
    QTest::newRow("zone five values") << zone << QByteArray("1;2;3;4;5\r\n") << true << "1 2 3 4";
    QTest::newRow("zone empty fifth") << zone << QByteArray("1;2;3;4;\r\n") << true << "1 2 3 4";
    // A zero point that cannot be read is refused, never shown (and saved) as -1.
    QTest::newRow("zone seven values") << zone << QByteArray("1;2;3;4;5;6;7\r\n") << false << "";
    QTest::newRow("zone letter in Y0") << zone << QByteArray("1;2;3;4;5;y\r\n") << false << "";
    QTest::newRow("zone letter in X0") << zone << QByteArray("1;2;3;4;x;6\r\n") << false << "";
    QTest::newRow("zone fractions kept") << zone << QByteArray("12.9;-0.5;1e3;+2E-2\r\n") << true
                                         << "12.9 -0.5 1000 0.02";
    QTest::newRow("zone separator alone") << zone << QByteArray(".;1;2;3\r\n") << true << "0 1 2 3";
    QTest::newRow("zone letter in X2") << zone << QByteArray("1;2;x;4\r\n") << false << "";
    QTest::newRow("zone three values") << zone << QByteArray("1;2;3\r\n") << false << "";
    QTest::newRow("zone tab") << zone << QByteArray("1;\t2;3;4\r\n") << false << "";
    QTest::newRow("zone empty line") << zone << QByteArray("1;2;3;4\r\n\r\n5;6;7;8\r\n") << false << "";
    QTest::newRow("zone blank last line") << zone << QByteArray("1;2;3;4\r\n\r\n") << false << "";
    QTest::newRow("zone bad second line, nothing kept") << zone << QByteArray("1;2;3;4\r\n5;6\r\n") << false << "";
    QTest::newRow("zone empty file") << zone << QByteArray() << true << "";
    QTest::newRow("LF ends") << zone << QByteArray("1;2;3;4\n5;6;7;8\n") << true << "1 2 3 4|5 6 7 8";
    QTest::newRow("CR ends") << zone << QByteArray("1;2;3;4\r5;6;7;8\r") << true << "1 2 3 4|5 6 7 8";
    QTest::newRow("mixed ends, no final end") << zone << QByteArray("1;2;3;4\r\n5;6;7;8\r9;9;9;9")
                                              << true << "1 2 3 4|5 6 7 8|9 9 9 9";

    const auto results = TableKind::Results;
    QTest::newRow("results") << results << QByteArray("1\t3.0000\t-0.2500\r\n12\t4.5\t5\r\n") << true
                             << "1 3 -0.25|12 4.5 5";
    QTest::newRow("results with ;") << results << QByteArray("1;3;4\r\n") << false << "";
    QTest::newRow("results fraction number") << results << QByteArray("1.5\t3\t4\r\n") << false << "";

    const auto scene = TableKind::SceneCoordinates;
    QTest::newRow("scene") << scene << QByteArray("1.5 ; -2 ; 3E2\r\n") << true << "1.5 -2 300";
    QTest::newRow("scene two fields") << scene << QByteArray("1;2\r\n") << false << "";
    QTest::newRow("scene four fields") << scene << QByteArray("1;2;3;4\r\n") << false << "";
    QTest::newRow("scene empty Z") << scene << QByteArray("1;2;\r\n") << false << "";

    const auto image = TableKind::ImageCoordinates;
    QTest::newRow("image") << image << QByteArray("10.25;20\n") << true << "10.25 20";
    QTest::newRow("image one field") << image << QByteArray("10\n") << false << "";
    QTest::newRow("image three fields") << image << QByteArray("1;2;3\n") << false << "";

    const auto list = TableKind::PointList;
    QTest::newRow("list") << list << QByteArray("7\r\n-3\r\n+5\r\n") << true << "7|-3|5";
    QTest::newRow("list fraction") << list << QByteArray("3.5\r\n") << false << "";
    QTest::newRow("list leading space") << list << QByteArray(" 7\r\n") << false << "";
    QTest::newRow("list trailing space") << list << QByteArray("7 \r\n") << false << "";
    QTest::newRow("list too large") << list << QByteArray("99999999999\r\n") << false << "";
    QTest::newRow("list empty line") << list << QByteArray("7\r\n\r\n") << false << "";
}

// Every case runs under both separators, and each file is read the same under
// the other locale: "." and "," both mark the decimals whatever the locale.
void TestTableFile::parse()
{
    QFETCH(TableKind, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(QString, values);
    for (char sep : {'.', ','}) {
        QByteArray input = bytes;
        input.replace('.', sep);
        for (char locale : {'.', ','}) {
            LocaleGuard guard{QChar(QLatin1Char(locale))};
            const std::optional<TableFile::Content> content = TableFile::parse(kind, input);
            QCOMPARE(content.has_value(), ok);
            if (ok)
                QCOMPARE(dump(*content), values);
        }
    }
}

void TestTableFile::parameterFiles_data()
{
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("firstValue");
    QTest::addColumn<QString>("lastValue");

    const auto camera = TableKind::Camera;
    QTest::newRow("camera") << camera << parameterFile(8) << true << "1" << "8";
    QTest::newRow("camera short") << camera << parameterFile(7) << false << "" << "";
    QTest::newRow("camera extra lines ignored") << camera << parameterFile(12) << true << "1" << "8";
    QTest::newRow("camera garbage value kept as text") << camera << parameterFile(8, "abc") << true << "abc" << "8";
    // The writer's own blank before " ; " is not part of the value; others are.
    QTest::newRow("camera spaces kept") << camera << parameterFile(8, "  a b ") << true << "  a b " << "8";
    QTest::newRow("camera value without ;") << camera << QByteArray("640\r\n") + parameterFile(7)
                                            << true << "" << "7";
    QTest::newRow("camera empty value") << camera << QByteArray(" ; x\r\n") + parameterFile(7) << true << "" << "7";
    QTest::newRow("camera value without blank") << camera << QByteArray("640;x\r\n") + parameterFile(7)
                                                << true << "640" << "7";
    const auto orientation = TableKind::Orientation;
    QTest::newRow("orientation") << orientation << parameterFile(21) << true << "1" << "21";
    QTest::newRow("orientation short") << orientation << parameterFile(20) << false << "" << "";
    QTest::newRow("orientation extra lines ignored") << orientation << parameterFile(30) << true << "1" << "21";
    QTest::newRow("orientation LF") << orientation << parameterFile(21).replace("\r\n", "\n") << true << "1" << "21";
}

void TestTableFile::parameterFiles()
{
    QFETCH(TableKind, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(QString, firstValue);
    QFETCH(QString, lastValue);
    const std::optional<TableFile::Content> content = TableFile::parse(kind, bytes);
    QCOMPARE(content.has_value(), ok);
    if (!ok)
        return;
    QCOMPARE(content->values.size(), TableFile::valueCount(kind));
    QVERIFY(content->rows.isEmpty());
    QCOMPARE(content->values.first(), firstValue);
    QCOMPARE(content->values.last(), lastValue);
}

void TestTableFile::readMissingFile()
{
    QTemporaryDir dir;
    QVERIFY(!TableFile::ReadTableFile(TableKind::Zone, dir.filePath(QStringLiteral("none.zon"))).has_value());
    QVERIFY(!TableFile::ReadTableFile(TableKind::Zone, dir.path()).has_value());
    TestSupport::writeFile(dir.filePath(QStringLiteral("z1.zon")), "1;2;3;4\r\n");
    const auto content = TableFile::ReadTableFile(TableKind::Zone, dir.filePath(QStringLiteral("z1.zon")));
    QVERIFY(content.has_value());
    QCOMPARE(dump(*content), QStringLiteral("1 2 3 4"));
}

void TestTableFile::format_data()
{
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QList<QStringList>>("cells");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("zone normalised") << TableKind::Zone
        << QList<QStringList>{{"10", "20", "110", "120", "-1", "-1"}, {" 1.50 ", "+2", "3e1", "4", "120.5", "0.00001"}}
        << QStringList{"10 ; 20 ; 110 ; 120 ; -1 ; -1", "1.5 ; 2 ; 30 ; 4 ; 120.5 ; 1E-5"};
    QTest::newRow("zone no rows") << TableKind::Zone << QList<QStringList>{} << QStringList{};
    QTest::newRow("zone without zero point") << TableKind::Zone << QList<QStringList>{{"1", "2", "3", "4", "", " "}}
                                             << QStringList{"1 ; 2 ; 3 ; 4"};
    QTest::newRow("results as the program writes them")
        << TableKind::Results << QList<QStringList>{{"3", "4,5", "-0.25"}, {"12", "1E-5", "100"}}
        << QStringList{"3\t4.5000\t-0.2500", "12\t0.0000\t100.0000"};
    QTest::newRow("scene") << TableKind::SceneCoordinates << QList<QStringList>{{"1", "-2.25", "250000000000000000000"}}
                           << QStringList{"1 ; -2.25 ; 2.5E20"};
    QTest::newRow("image") << TableKind::ImageCoordinates << QList<QStringList>{{"0.1", "."}}
                           << QStringList{"0.1 ; 0"};
    QTest::newRow("point list") << TableKind::PointList << QList<QStringList>{{"7"}, {"+12"}, {"-0"}}
                                << QStringList{"7", "12", "0"};
    QTest::newRow("orientation empty and one blank") << TableKind::Orientation
        << QList<QStringList>{{""}, {" "}, {"1.25"}} // missing rows count as empty
        << QStringList{};
}

void TestTableFile::format()
{
    QFETCH(TableKind, kind);
    QFETCH(QList<QStringList>, cells);
    QFETCH(QStringList, lines);
    LocaleGuard guard(QLatin1Char('.'));
    const TableFile::Lines result = TableFile::FormatTableLines(kind, cells);
    QVERIFY2(result.ok(), qPrintable(result.error));
    if (kind == TableKind::Orientation) {
        const QStringList comments = TableFile::comments(kind);
        QCOMPARE(result.lines.size(), 21);
        QCOMPARE(result.lines.at(0), comments.at(0));
        QCOMPARE(result.lines.at(1), comments.at(1));
        QCOMPARE(result.lines.at(2), QStringLiteral("1.25") + comments.at(2));
        QCOMPARE(result.lines.at(20), QStringLiteral(" ; azz"));
        return;
    }
    QCOMPARE(result.lines, lines);
}

void TestTableFile::invalidTable_data()
{
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QList<QStringList>>("cells");
    QTest::addColumn<QString>("message");

    const QStringList zoneRow{"1", "2", "3", "4", "-1", "-1"};
    QStringList emptyCell = zoneRow;
    emptyCell[3] = QString();
    QStringList letter = zoneRow;
    letter[5] = QStringLiteral("x");
    QTest::newRow("zone empty cell in row 2") << TableKind::Zone << QList<QStringList>{zoneRow, emptyCell, zoneRow}
                                              << "Ошибка в 2-й строке!";
    QTest::newRow("zone rows 2 and 5 invalid: first named")
        << TableKind::Zone << QList<QStringList>{zoneRow, letter, zoneRow, zoneRow, emptyCell}
        << "Ошибка в 2-й строке!";
    QTest::newRow("zone spaces only") << TableKind::Zone << QList<QStringList>{{"1", "2", "3", "  ", "5", "6"}}
                                      << "Ошибка в 1-й строке!";
    QTest::newRow("zone half a zero point") << TableKind::Zone << QList<QStringList>{{"1", "2", "3", "4", "5", ""}}
                                            << "Ошибка в 1-й строке!";
    QTest::newRow("results fraction number") << TableKind::Results << QList<QStringList>{{"1.5", "2", "3"}}
                                             << "Ошибка в 1-й строке результатов!";
    QTest::newRow("scene") << TableKind::SceneCoordinates << QList<QStringList>{{"1", "2", "3"}, {"1", "2", "3;4"}}
                           << "Ошибка в 2-й строке координат точек сцены!";
    QTest::newRow("image") << TableKind::ImageCoordinates << QList<QStringList>{{"1", "2", }, {"1", "2"}, {"e", "2"}}
                           << "Ошибка в 3-й строке координат изображения!";
    QTest::newRow("point list fraction") << TableKind::PointList << QList<QStringList>{{"3.5"}}
                                         << "Ошибка в 1-й строке!";
    QTest::newRow("point list blank") << TableKind::PointList << QList<QStringList>{{"1"}, {" 2"}}
                                      << "Ошибка в 2-й строке!";
    QTest::newRow("camera two blanks") << TableKind::Camera
                                       << QList<QStringList>{{"1"}, {"2"}, {"t"}, {"4"}, {"  "}, {"6"}, {"7"}, {"8"}}
                                       << "Ошибка в калибровочных данных!\n"
                                          "Строка 5 (Ширина изображения (пикс.)): не является числом";
    QTest::newRow("orientation letter") << TableKind::Orientation << QList<QStringList>{{"1"}, {"1,5x"}}
                                        << "Ошибка в параметрах внешней геометрии!\n"
                                           "Строка 2 (Координата Y центра проекции): не является числом";
}

void TestTableFile::invalidTable()
{
    QFETCH(TableKind, kind);
    QFETCH(QList<QStringList>, cells);
    QFETCH(QString, message);
    LocaleGuard guard(QLatin1Char('.'));
    const TableFile::Lines result = TableFile::FormatTableLines(kind, cells);
    QVERIFY(!result.ok());
    QCOMPARE(result.error, message);
    QVERIFY(result.lines.isEmpty());
}

// The comments are CP1251 and every line, the last included, ends in CR LF.
void TestTableFile::cameraFileBytes()
{
    LocaleGuard guard(QLatin1Char('.'));
    const QList<QStringList> cells{{"640"}, {"480.50"}, {" corr tab "}, {"1200"}, {""}, {" "}, {"0.00001"}, {"2.5e20"}};
    const TableFile::Lines result = TableFile::FormatTableLines(TableKind::Camera, cells);
    QVERIFY(result.ok());
    const QByteArray expected(
        "640 ; \xCA\xEE\xEE\xF0\xE4\xE8\xED\xE0\xF2\xE0 X \xF6\xE5\xED\xF2\xF0\xE0 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xFF\r\n"
        "480.5 ; \xCA\xEE\xEE\xF0\xE4\xE8\xED\xE0\xF2\xE0 Y \xF6\xE5\xED\xF2\xF0\xE0 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xFF\r\n"
        " corr tab  ; \xD2\xE0\xE1\xEB\xE8\xF6\xE0 \xEA\xEE\xF0\xF0\xE5\xEA\xF6\xE8\xE8\r\n"
        "1200 ; \xD4\xEE\xEA\xF3\xF1\xED\xEE\xE5 \xF0\xE0\xF1\xF1\xF2\xEE\xFF\xED\xE8\xE5\r\n"
        " ; \xD0\xE0\xE7\xEC\xE5\xF0 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xFF \xEF\xEE \xE3\xEE\xF0\xE8\xE7\xEE\xED\xF2\xE0\xEB\xE8\r\n"
        " ; \xD0\xE0\xE7\xEC\xE5\xF0 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xFF \xEF\xEE \xE2\xE5\xF0\xF2\xE8\xEA\xE0\xEB\xE8\r\n"
        "1E-5 ; \xCA\xEE\xEE\xF0\xE4\xE8\xED\xE0\xF2\xE0 X \xE3\xEB\xE0\xE2\xED\xEE\xE9 \xF2\xEE\xF7\xEA\xE8\r\n"
        "2.5E20 ; \xCA\xEE\xEE\xF0\xE4\xE8\xED\xE0\xF2\xE0 Y \xE3\xEB\xE0\xE2\xED\xEE\xE9 \xF2\xEE\xF7\xEA\xE8\r\n");
    QCOMPARE(TableFile::encode(result.lines), expected);

    // Read back and saved again unchanged, the file is the same, the free
    // correction table text included.
    const auto back = TableFile::parse(TableKind::Camera, expected);
    QVERIFY(back.has_value());
    QCOMPARE(back->values.at(2), QStringLiteral(" corr tab "));
    const TableFile::Lines again = TableFile::FormatTableLines(TableKind::Camera,
                                                               TableFile::cellTexts(TableKind::Camera, *back));
    QVERIFY(again.ok());
    QCOMPARE(TableFile::encode(again.lines), expected);
}

void TestTableFile::untouchedLinesKept_data()
{
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("row");      // the cell changed: row, column, text
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("zone") << TableKind::Zone << QByteArray("60.3000;10;90;40;70.1000;20.2500\r\n1;2;3;4\r\n")
                          << 1 << 0 << "8" << QByteArray("60.3000;10;90;40;70.1000;20.2500\r\n8 ; 2 ; 3 ; 4\r\n");
    QTest::newRow("zone, written anew") << TableKind::Zone << QByteArray("60.3000;10;90;40\r\n")
                                        << 0 << 4 << "1" << QByteArray("");
    QTest::newRow("image") << TableKind::ImageCoordinates << QByteArray("1.50;2\r\n3;4\r\n") << 1 << 1 << "5"
                           << QByteArray("1.50;2\r\n3 ; 5\r\n");
    QTest::newRow("camera comment as written")
        << TableKind::Camera << QByteArray("640;my note\r\n") + QByteArray("1 ; x\r\n").repeated(7) + "extra\r\n"
        << 0 << 0 << "641" << QByteArray("641;my note\r\n") + QByteArray("1 ; x\r\n").repeated(7) + "extra\r\n";
}

// Saving after one edit writes only the edited row anew: other rows, the
// comments of camera and orientation files and their extra lines stay as read.
void TestTableFile::untouchedLinesKept()
{
    QFETCH(TableKind, kind);
    QFETCH(QByteArray, file);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QByteArray, saved);
    for (QChar locale : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(locale);
        const auto content = TableFile::parse(kind, file);
        QVERIFY(content.has_value());
        QList<QStringList> cells = TableFile::cellTexts(kind, *content);
        QCOMPARE(TableFile::encode(TableFile::FormatTableLines(kind, cells, content->lines).lines), file);
        while (cells[row].size() <= column) // the grid has a cell for every field
            cells[row] << QString();
        cells[row][column] = text;
        const TableFile::Lines lines = TableFile::FormatTableLines(kind, cells, content->lines);
        if (saved.isEmpty()) {
            QVERIFY(!lines.ok()); // half a zero point
            continue;
        }
        QCOMPARE(TableFile::encode(lines.lines), saved);
    }
}

void TestTableFile::roundTrip_data()
{
    QTest::addColumn<TableKind>("kind");
    QTest::addColumn<QChar>("separator");
    const std::pair<const char *, TableKind> kinds[] = {
        {"zone", TableKind::Zone}, {"scene", TableKind::SceneCoordinates},
        {"image", TableKind::ImageCoordinates}, {"point list", TableKind::PointList},
        {"camera", TableKind::Camera}, {"orientation", TableKind::Orientation}};
    for (const auto &[name, kind] : kinds) {
        for (QChar sep : {QChar('.'), QChar(',')})
            QTest::addRow("%s %c", name, sep.toLatin1()) << kind << sep;
    }
}

// Values written by the editor read back to the same 15 significant digits,
// in every kind and under both separators.
void TestTableFile::roundTrip()
{
    QFETCH(TableKind, kind);
    QFETCH(QChar, separator);
    LocaleGuard guard(separator);
    const double samples[] = {0, -1, 1.0 / 3, 123456.789012345, -0.000123, 1e-5, 2.5e20, 1.5e-45,
                              999999999999999.9, 46000.416666666664, -7e300};
    QList<double> numbers;
    for (int i = 0; i < 42; ++i)
        numbers << (kind == TableKind::PointList ? double(i - 20) : samples[i % std::size(samples)]);
    QList<QStringList> cells;
    const int perRow = kind == TableKind::Camera || kind == TableKind::Orientation ? 1 : TableFile::valueCount(kind);
    const int rows = kind == TableKind::Camera || kind == TableKind::Orientation ? TableFile::valueCount(kind) : 7;
    for (int r = 0, i = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 0; c < perRow; ++c)
            row << TableNumber::form(numbers.at(i++));
        cells << row;
    }
    const TableFile::Lines lines = TableFile::FormatTableLines(kind, cells);
    QVERIFY2(lines.ok(), qPrintable(lines.error));
    const auto back = TableFile::parse(kind, TableFile::encode(lines.lines));
    QVERIFY(back.has_value());
    QCOMPARE(TableFile::cellTexts(kind, *back), cells);
    for (int r = 0, i = 0; r < rows; ++r) {
        for (int c = 0; c < perRow; ++c, ++i) {
            double value = 0;
            QVERIFY(TableNumber::read(cells.at(r).at(c), &value));
            const double want = numbers.at(i);
            QVERIFY2(std::fabs(value - want) <= std::fabs(want) * 1e-14, qPrintable(cells.at(r).at(c)));
        }
    }
}

void TestTableFile::numberForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("form");
    QTest::newRow("whole") << "120" << true << "120";
    QTest::newRow("trailing zeros") << "120.5000" << true << "120.5";
    QTest::newRow("spaces around") << "  -3.25  " << true << "-3.25";
    QTest::newRow("plus sign") << "+4" << true << "4";
    QTest::newRow("separator alone") << "." << true << "0";
    QTest::newRow("exponent") << "25e-1" << true << "2.5";
    QTest::newRow("small plain") << "0.0001" << true << "0.0001";
    QTest::newRow("small scientific") << "0.00001" << true << "1E-5";
    QTest::newRow("large scientific") << "1e15" << true << "1E15";
    QTest::newRow("15 digits") << "0.1234567890123456789" << true << "0.123456789012346";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("spaces only") << "   " << false << "";
    QTest::newRow("sign only") << "-" << false << "";
    QTest::newRow("bare exponent") << "1e" << false << "";
    QTest::newRow("two separators") << "1.2.3" << false << "";
    QTest::newRow("tab") << "\t1" << false << "";
    QTest::newRow("letter") << "1x" << false << "";
}

void TestTableFile::numberForm()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, form);
    for (QChar sep : {QChar('.'), QChar(',')}) {
        LocaleGuard guard(sep);
        QString input = text;
        input.replace(QLatin1Char('.'), sep);
        double value = 0;
        QCOMPARE(TableNumber::read(input, &value), ok);
        if (ok) {
            QString want = form;
            want.replace(QLatin1Char('.'), sep);
            QCOMPARE(TableNumber::form(value), want);
        }
    }
}

void TestTableFile::writeFailureKeepsOldFile()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/dir/z1.zon"));
    try {
        TableFile::write(missing, {QStringLiteral("1 ; 2 ; 3 ; 4 ; -1 ; -1")});
        QFAIL("a write into a missing directory must fail");
    } catch (const KelvarinError &error) {
        QVERIFY2(error.message().startsWith(QStringLiteral("Не удается создать файл ")), qPrintable(error.message()));
    }
    QVERIFY(!QFile::exists(missing));

    const QString path = dir.filePath(QStringLiteral("z1.zon"));
    TableFile::write(path, {QStringLiteral("1 ; 2 ; 3 ; 4 ; -1 ; -1")});
    QCOMPARE(TestSupport::readFile(path), QByteArray("1 ; 2 ; 3 ; 4 ; -1 ; -1\r\n"));
}

QTEST_GUILESS_MAIN(TestTableFile)
#include "tst_tablefile.moc"
