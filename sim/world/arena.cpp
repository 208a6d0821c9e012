#include "sim/world/arena.h"

#include "sim/world/candleplaces.h"
#include "sim/world/world.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace kestrava::sim {

using namespace geometry;

namespace {

const char *const Fields[] = {"name", "size", "walls", "boxes", "start", "candles", "rooms", "fan_relay"};
const char *const Bundled[] = {"open", "house", "corridor"};

struct Refusal
{
    QString text;
};

[[noreturn]] void refuse(const char *field, const QString &what)
{
    throw Refusal{QLatin1String(field) + QStringLiteral(": ") + what};
}

// A value as the file wrote it, cut short: a message stays one readable line.
QString shown(const QJsonValue &value)
{
    constexpr qsizetype Longest = 40;
    const QString text = value.isString() ? QLatin1Char('"') + value.toString() + QLatin1Char('"')
        : value.isArray()  ? QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact))
        : value.isObject() ? QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact))
                           : QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
    return text.size() > Longest ? text.left(Longest) + QStringLiteral("…") : text;
}

QString cm(double value)
{
    return QString::number(value, 'g', 6);
}

template<std::size_t N>
std::optional<std::array<double, N>> numbers(const QJsonValue &value)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != qsizetype(N))
        return std::nullopt;
    std::array<double, N> result{};
    for (std::size_t i = 0; i < N; ++i) {
        if (!array[qsizetype(i)].isDouble())
            return std::nullopt;
        result[i] = array[qsizetype(i)].toDouble();
    }
    return result;
}

template<std::size_t N>
std::array<double, N> takeNumbers(const char *field, const QString &item, const QJsonValue &value, const char *shape)
{
    const std::optional<std::array<double, N>> found = numbers<N>(value);
    if (!found)
        refuse(field, QStringLiteral("%1expected %2, not %3").arg(item, QLatin1String(shape), shown(value)));
    return *found;
}

// A list field's items, at most `most` of them.
QJsonArray takeList(const QJsonObject &file, const char *field, const char *shape, qsizetype most)
{
    if (!file.contains(QLatin1String(field)))
        return {};
    const QJsonValue value = file.value(QLatin1String(field));
    if (!value.isArray())
        refuse(field, QStringLiteral("expected a list %1, not %2").arg(QLatin1String(shape), shown(value)));
    if (value.toArray().size() > most)
        refuse(field, QStringLiteral("at most %1 items, not %2").arg(most).arg(value.toArray().size()));
    return value.toArray();
}

QJsonValue required(const QJsonObject &file, const char *field, const char *what)
{
    if (!file.contains(QLatin1String(field)))
        throw Refusal{QStringLiteral("missing field \"%1\" (%2)").arg(QLatin1String(field), QLatin1String(what))};
    return file.value(QLatin1String(field));
}

class Reader
{
public:
    explicit Reader(const QJsonObject &file) : m_file(file) {}

    Arena read()
    {
        refuseUnknownFields();
        readName();
        readSize();
        readWalls();
        readBoxes();
        readStart();
        readCandles();
        readRooms();
        readFanRelay();
        return m_arena;
    }

private:
    void refuseUnknownFields() const
    {
        for (const QString &key : m_file.keys()) {
            if (std::none_of(std::begin(Fields), std::end(Fields), [&](const char *f) { return key == QLatin1String(f); }))
                throw Refusal{QStringLiteral("unknown field \"%1\" (the fields are name, size, walls, boxes, start, "
                                             "candles, rooms and fan_relay)").arg(key.left(40))};
        }
    }

    void readName()
    {
        const QJsonValue name = required(m_file, "name", "the arena's name");
        if (!name.isString() || name.toString().trimmed().isEmpty() || name.toString().size() > Arena::MaxNameLength)
            refuse("name", QStringLiteral("expected a text of 1 to %1 characters, not %2").arg(Arena::MaxNameLength).arg(shown(name)));
        m_arena.name = name.toString().trimmed();
    }

    void readSize()
    {
        const auto [width, height] = takeNumbers<2>("size", {}, required(m_file, "size", "[width, height] in cm"),
                                                    "[width, height] in cm");
        const auto fits = [](double side) { return side >= Arena::MinSideCm && side <= Arena::MaxSideCm; };
        if (!fits(width) || !fits(height))
            refuse("size", QStringLiteral("each side must be from %1 to %2 cm, not %3 x %4")
                               .arg(Arena::MinSideCm).arg(Arena::MaxSideCm).arg(cm(width), cm(height)));
        m_arena.width = width;
        m_arena.height = height;
    }

    bool inside(Point p) const { return p.x >= 0 && p.y >= 0 && p.x <= m_arena.width && p.y <= m_arena.height; }
    QString outside() const
    {
        return QStringLiteral("lies outside the %1 x %2 cm arena").arg(cm(m_arena.width), cm(m_arena.height));
    }

    void readWalls()
    {
        const QJsonArray walls = takeList(m_file, "walls", "of walls [[x1, y1, x2, y2], ...]", Arena::MaxWalls);
        for (qsizetype i = 0; i < walls.size(); ++i) {
            const QString item = QStringLiteral("wall %1 ").arg(i + 1);
            const auto [x1, y1, x2, y2] = takeNumbers<4>("walls", item, walls[i], "[x1, y1, x2, y2] in cm");
            const Segment wall{{x1, y1}, {x2, y2}};
            if (!inside(wall.a) || !inside(wall.b))
                refuse("walls", item + shown(walls[i]) + QLatin1Char(' ') + outside());
            if (distanceBetween(wall.a, wall.b) <= 0)
                refuse("walls", item + shown(walls[i]) + QStringLiteral(" has no length"));
            m_arena.walls.push_back(wall);
        }
    }

    void readBoxes()
    {
        m_arena.boxes = readRectangles("boxes", "of boxes [[x, y, width, height], ...]", "box", Arena::MaxBoxes);
    }

    // Rectangles by their south-west corner, each inside the arena: the boxes, and the rooms' areas.
    std::vector<geometry::Box> readRectangles(const char *field, const char *shape, const char *noun, qsizetype most)
    {
        const QJsonArray list = takeList(m_file, field, shape, most);
        std::vector<geometry::Box> rectangles;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString item = QStringLiteral("%1 %2 ").arg(QLatin1String(noun)).arg(i + 1);
            const auto [x, y, width, height] = takeNumbers<4>(field, item, list[i], "[x, y, width, height] in cm");
            if (!(width > 0 && height > 0))
                refuse(field, item + shown(list[i]) + QStringLiteral(" needs a width and a height above 0"));
            if (!inside({x, y}) || !inside({x + width, y + height}))
                refuse(field, item + shown(list[i]) + QLatin1Char(' ') + outside());
            rectangles.push_back({x, y, width, height});
        }
        return rectangles;
    }

    void readStart()
    {
        const QJsonValue value = required(m_file, "start", "[x, y, heading]: where the robot starts");
        const auto [x, y, heading] = takeNumbers<3>("start", {}, value, "[x, y, heading] in cm and degrees");
        if (!(heading >= 0 && heading < 360))
            refuse("start", QStringLiteral("the heading must be from 0 to 359.9 degrees, not %1").arg(cm(heading)));
        if (!inside({x, y}))
            refuse("start", shown(value) + QLatin1Char(' ') + outside());
        if (collides({x, y}, World::RobotRadiusCm, m_arena.width, m_arena.height, m_arena.boxes, m_arena.walls))
            refuse("start", QStringLiteral("the robot (%1 cm across) does not fit at %2, %3: a wall, a box or the "
                                           "arena's edge is in the way")
                                .arg(2 * World::RobotRadiusCm).arg(cm(x), cm(y)));
        m_arena.start = {x, y, heading};
    }

    void readCandles()
    {
        const char *shape = "of places [[x, y], ...]";
        const QJsonArray places = takeList(m_file, "candles", shape, Arena::MaxCandles);
        if (places.isEmpty() && !m_file.contains(QLatin1String("rooms")))
            refuse("candles", QStringLiteral("expected one to %1 places [[x, y], ...], not %2")
                                  .arg(Arena::MaxCandles).arg(shown(required(m_file, "candles", shape))));
        for (qsizetype i = 0; i < places.size(); ++i) {
            const QString item = QStringLiteral("place %1 ").arg(i + 1);
            const auto [x, y] = takeNumbers<2>("candles", item, places[i], "[x, y] in cm");
            if (!inside({x, y}))
                refuse("candles", item + shown(places[i]) + QLatin1Char(' ') + outside());
            for (std::size_t box = 0; box < m_arena.boxes.size(); ++box) {
                if (m_arena.boxes[box].contains({x, y}))
                    refuse("candles", item + shown(places[i]) + QStringLiteral(" lies inside box %1").arg(box + 1));
            }
            m_arena.candles.push_back({x, y});
        }
    }

    void readRooms()
    {
        m_arena.rooms = readRectangles("rooms", "of rooms [[x, y, width, height], ...]", "room", Arena::MaxRooms);
        if (m_file.contains(QLatin1String("rooms")) && m_arena.rooms.empty() && m_arena.candles.empty())
            refuse("rooms", QStringLiteral("expected one to %1 rooms [[x, y, width, height], ...], or candles")
                                .arg(Arena::MaxRooms));
        const std::vector<std::vector<Point>> spots = candleSpots(m_arena);
        for (std::size_t i = 0; i < spots.size(); ++i) {
            if (spots[i].empty())
                refuse("rooms", QStringLiteral("room %1 has no place %2 cm clear of walls and boxes that the robot "
                                               "can reach from its start").arg(i + 1).arg(2 * World::RobotRadiusCm));
        }
    }

    void readFanRelay()
    {
        if (!m_file.contains(QLatin1String("fan_relay")))
            return;
        const QJsonValue value = m_file.value(QLatin1String("fan_relay"));
        const double relay = value.toDouble(-1);
        if (!value.isDouble() || relay != std::floor(relay) || relay < 1 || relay > 8)
            refuse("fan_relay", QStringLiteral("expected a relay from 1 to 8, not %1").arg(shown(value)));
        m_arena.fanRelay = int(relay);
    }

    QJsonObject m_file;
    Arena m_arena;
};

ArenaLoad refused(const QString &source, const QString &why)
{
    return {std::nullopt, source + QStringLiteral(": ") + why};
}

} // namespace

ArenaLoad parseArena(QByteArrayView text)
{
    if (text.size() > Arena::MaxFileBytes)
        return {std::nullopt, QStringLiteral("the file is larger than %1 KiB").arg(Arena::MaxFileBytes / 1024)};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("not JSON: %1 at character %2").arg(error.errorString()).arg(error.offset)};
    if (!document.isObject())
        return {std::nullopt, QStringLiteral("expected one JSON object { \"name\": ..., \"size\": ..., ... }")};
    try {
        return {Reader(document.object()).read(), {}};
    } catch (const Refusal &refusal) {
        return {std::nullopt, refusal.text};
    }
}

QStringList bundledArenaNames()
{
    QStringList names;
    for (const char *name : Bundled)
        names << QLatin1String(name);
    return names;
}

ArenaLoad loadArena(const QString &nameOrPath)
{
    const bool bundled = bundledArenaNames().contains(nameOrPath);
    const QString path = bundled ? QStringLiteral(":/arenas/%1.json").arg(nameOrPath) : nameOrPath;
    const QFileInfo info(path);
    if (!info.exists())
        return refused(nameOrPath, QStringLiteral("no such file, nor a bundled arena (%1)")
                                       .arg(bundledArenaNames().join(QStringLiteral(", "))));
    if (!info.isFile()) // a folder, a pipe or a device could block or never end
        return refused(nameOrPath, QStringLiteral("not a plain file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(nameOrPath, file.errorString());
    ArenaLoad load = parseArena(file.read(Arena::MaxFileBytes + 1));
    if (!load.arena)
        load.error = QStringLiteral("%1: %2").arg(nameOrPath, load.error);
    return load;
}

} // namespace kestrava::sim
