#include "TableMode.h"

#include <algorithm>

// The grid and window of one file kind; every mode of a kind shares them.
struct KindLayout
{
    QList<int> widths;
    QStringList headers;
    QSize window;
    int rowHeight;
    const char *filter; // UTF-8
    const char *extension;
};

static const KindLayout &layoutOf(TableKind kind)
{
    static const KindLayout zone{
        {50, 110, 110, 110, 110, 110, 110},
        {QString(), QStringLiteral("X1 (лев. верхн.)"), QStringLiteral("Y1 (лев. верхн.)"),
         QStringLiteral("X2 (прав. нижн.)"), QStringLiteral("Y2 (прав. нижн.)"),
         QStringLiteral("X (ноль)"), QStringLiteral("Y (ноль)")},
        {720, 500}, 20, "Файлы зон|*.zon|Все файлы|*.*", "zon"};
    static const KindLayout scene{
        {50, 100, 100, 100},
        {QString(), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")},
        {400, 500}, 20, "Файлы координат|*.crd|Все файлы|*.*", "crd"};
    static const KindLayout image{
        {50, 100, 100},
        {QString(), QStringLiteral("x"), QStringLiteral("y")},
        {300, 500}, 20, "Файлы координат|*.crd|Все файлы|*.*", "crd"};
    // The point list asks for a width of 200; the window's minimum width of 300 wins.
    static const KindLayout pointList{
        {50, 50},
        {QString(), QStringLiteral("Номер")},
        {300, 500}, 20, "Списки точек|*.lst|Все файлы|*.*", "lst"};
    static const KindLayout camera{
        {290, 200}, {}, {520, 290}, 24, "Файлы внутренней геометрии|*.cam|Все файлы|*.*", "cam"};
    static const KindLayout orientation{
        {260, 110}, {}, {410, 500}, 24, "Файлы внешней геометрии|*.ort|Все файлы|*.*", "ort"};
    static const KindLayout results{
        {50, 70, 100, 100},
        {QString(), QStringLiteral("Снимок"), QStringLiteral("X"), QStringLiteral("Y")},
        {380, 500}, 20, "Файлы координат|*.crd|Все файлы|*.*", "crd"};
    switch (kind) {
    case TableKind::Results: return results;
    case TableKind::Zone: return zone;
    case TableKind::SceneCoordinates: return scene;
    case TableKind::ImageCoordinates: return image;
    case TableKind::PointList: return pointList;
    case TableKind::Camera: return camera;
    case TableKind::Orientation: return orientation;
    }
    return zone;
}

std::optional<TableMode> TableMode::fromNumber(int mode)
{
    switch (mode) {
    case 11: return TableMode(mode, TableKind::Zone);
    case 1: return TableMode(mode, TableKind::SceneCoordinates);
    case 2: case 3: case 9: case 10: return TableMode(mode, TableKind::ImageCoordinates);
    case 4: return TableMode(mode, TableKind::PointList);
    case 5: case 6: return TableMode(mode, TableKind::Camera);
    case 7: case 8: return TableMode(mode, TableKind::Orientation);
    case 12: return TableMode(mode, TableKind::Results);
    default: return std::nullopt;
    }
}

bool TableMode::isParameterLayout() const
{
    return m_kind == TableKind::Camera || m_kind == TableKind::Orientation;
}

QString TableMode::titleSuffix() const
{
    switch (m_number) {
    case 11: return QStringLiteral(" Зоны");
    case 1: case 2: case 3: return QStringLiteral(" Реперные точки");
    case 9: case 10: return QStringLiteral(" Соответственные точки");
    case 4: return QStringLiteral(" Список реперных точек");
    case 5: case 6: return QStringLiteral(" Внутренняя геометрия");
    case 12: return QStringLiteral(" Результаты");
    default: return QStringLiteral(" Внешняя геометрия");
    }
}

QString TableMode::titleName(const QString &fileName)
{
    if (fileName.isEmpty())
        return QStringLiteral("Без имени");
    // Names from the family's other programs may carry "\" as well as "/".
    const qsizetype cut = std::max(fileName.lastIndexOf(QLatin1Char('/')),
                                   fileName.lastIndexOf(QLatin1Char('\\')));
    return fileName.mid(cut + 1);
}

QString TableMode::title(const QString &fileName) const
{
    return titleName(fileName) + titleSuffix();
}

QString TableMode::fileFilter() const
{
    return QString::fromUtf8(layoutOf(m_kind).filter);
}

QString TableMode::defaultExtension() const
{
    return QString::fromLatin1(layoutOf(m_kind).extension);
}

QList<int> TableMode::columnWidths() const
{
    return layoutOf(m_kind).widths;
}

QStringList TableMode::headerTexts() const
{
    return layoutOf(m_kind).headers;
}

QStringList TableMode::captions() const
{
    if (m_kind == TableKind::Camera) {
        return {QStringLiteral("Координата X центра изображения (пикс.)"),
                QStringLiteral("Координата Y центра изображения (пикс.)"),
                QStringLiteral("Таблица коррекции"),
                QStringLiteral("Фокусное расстояние (пикс.)"),
                QStringLiteral("Ширина изображения (пикс.)"),
                QStringLiteral("Высота изображения (пикс.)"),
                QStringLiteral("Координата X главной точки (пикс.)"),
                QStringLiteral("Координата Y главной точки (пикс.)")};
    }
    if (m_kind == TableKind::Orientation) {
        return {QStringLiteral("Координата X центра проекции"),
                QStringLiteral("Координата Y центра проекции"),
                QStringLiteral("Координата Z центра проекции"),
                QStringLiteral("Координата X точки визирования"),
                QStringLiteral("Координата Y точки визирования"),
                QStringLiteral("Расстояние до точки визирования"),
                QStringLiteral("Продольный угол (фотогр.) (градусы)"),
                QStringLiteral("Поперечный угол (фотогр.) (градусы)"),
                QStringLiteral("Угол поворота (фотогр.) (градусы)"),
                QStringLiteral("Продольный угол (стенд.) (градусы)"),
                QStringLiteral("Поперечный угол (стенд.) (градусы)"),
                QStringLiteral("Угол поворота (стенд.) (градусы)"),
                QStringLiteral("axx"), QStringLiteral("axy"), QStringLiteral("axz"),
                QStringLiteral("ayx"), QStringLiteral("ayy"), QStringLiteral("ayz"),
                QStringLiteral("azx"), QStringLiteral("azy"), QStringLiteral("azz")};
    }
    return {};
}

QSize TableMode::windowSize() const
{
    return layoutOf(m_kind).window;
}

int TableMode::rowHeight() const
{
    return layoutOf(m_kind).rowHeight;
}
