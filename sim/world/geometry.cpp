#include "sim/world/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrava::sim::geometry {

namespace {

constexpr double DegreesPerRadian = 180.0 / std::numbers::pi;
// Below this turn rate (degrees a second) a move is taken as straight, which also
// keeps the arc formula away from a division by almost nothing.
constexpr double StraightTurnRate = 1e-9;

double cross(Point a, Point b)
{
    return a.x * b.y - a.y * b.x;
}

Point minus(Point a, Point b)
{
    return {a.x - b.x, a.y - b.y};
}

// Distance along the ray to the segment, if it meets it ahead of the origin.
std::optional<double> hitDistance(Point origin, Point direction, const Segment &segment)
{
    const Point edge = minus(segment.b, segment.a);
    const double denominator = cross(direction, edge);
    if (std::abs(denominator) < 1e-12)
        return std::nullopt; // parallel: a ray grazing along an edge meets the edges at its ends
    const Point toStart = minus(segment.a, origin);
    const double along = cross(toStart, edge) / denominator;
    const double onEdge = cross(toStart, direction) / denominator;
    if (along < 0 || onEdge < 0 || onEdge > 1)
        return std::nullopt;
    return along;
}

} // namespace

double normalizedDegrees(double degrees)
{
    const double wrapped = std::fmod(degrees, 360.0);
    return wrapped < 0 ? (wrapped + 360.0 >= 360.0 ? 0.0 : wrapped + 360.0) : wrapped;
}

double signedDegrees(double degrees)
{
    const double wrapped = normalizedDegrees(degrees);
    return wrapped >= 180.0 ? wrapped - 360.0 : wrapped;
}

Point headingVector(double headingDegrees)
{
    const double radians = headingDegrees / DegreesPerRadian;
    return {std::sin(radians), std::cos(radians)};
}

double headingTowards(Point from, Point to)
{
    return normalizedDegrees(std::atan2(to.x - from.x, to.y - from.y) * DegreesPerRadian);
}

double distanceBetween(Point a, Point b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

Point onRobot(const Pose &robot, double rightCm, double forwardCm)
{
    const Point ahead = headingVector(robot.heading);
    const Point right = headingVector(robot.heading + 90);
    return {robot.x + forwardCm * ahead.x + rightCm * right.x, robot.y + forwardCm * ahead.y + rightCm * right.y};
}

std::array<Segment, 4> edgesOf(const Box &box)
{
    const Point sw{box.x, box.y}, se{box.x + box.width, box.y};
    const Point ne{box.x + box.width, box.y + box.height}, nw{box.x, box.y + box.height};
    return {Segment{sw, se}, Segment{se, ne}, Segment{ne, nw}, Segment{nw, sw}};
}

std::vector<Segment> wallsAndObstacles(double widthCm, double heightCm, std::span<const Box> obstacles,
                                       std::span<const Segment> walls)
{
    std::vector<Segment> segments(walls.begin(), walls.end());
    for (const Box &box : obstacles) {
        const auto edges = edgesOf(box);
        segments.insert(segments.end(), edges.begin(), edges.end());
    }
    const auto edges = edgesOf(Box{0, 0, widthCm, heightCm});
    segments.insert(segments.end(), edges.begin(), edges.end());
    return segments;
}

double distanceToSegment(Point p, const Segment &segment)
{
    const Point edge = minus(segment.b, segment.a);
    const double lengthSquared = edge.x * edge.x + edge.y * edge.y;
    const Point toP = minus(p, segment.a);
    const double along = lengthSquared > 0 ? std::clamp((toP.x * edge.x + toP.y * edge.y) / lengthSquared, 0.0, 1.0) : 0;
    return distanceBetween(p, {segment.a.x + along * edge.x, segment.a.y + along * edge.y});
}

bool segmentMeetsBox(const Segment &segment, const Box &box)
{
    if (box.contains(segment.a) || box.contains(segment.b))
        return true;
    const auto crosses = [&](const Segment &edge) {
        const Point d1 = minus(segment.b, segment.a), d2 = minus(edge.b, edge.a);
        const double denominator = cross(d1, d2);
        if (std::abs(denominator) < 1e-12)
            return false; // parallel: it meets the box at an end, or not at all
        const Point toEdge = minus(edge.a, segment.a);
        const double t = cross(toEdge, d2) / denominator, u = cross(toEdge, d1) / denominator;
        return t >= 0 && t <= 1 && u >= 0 && u <= 1;
    };
    const auto edges = edgesOf(box);
    return std::any_of(edges.begin(), edges.end(), crosses);
}

std::optional<double> castRay(Point origin, double headingDegrees, std::span<const Segment> segments)
{
    const Point direction = headingVector(headingDegrees);
    std::optional<double> nearest;
    for (const Segment &segment : segments) {
        const std::optional<double> hit = hitDistance(origin, direction, segment);
        if (hit && (!nearest || *hit < *nearest))
            nearest = hit;
    }
    return nearest;
}

bool collides(Point centre, double radius, double widthCm, double heightCm, std::span<const Box> obstacles,
              std::span<const Segment> walls)
{
    if (centre.x < radius || centre.y < radius || centre.x > widthCm - radius || centre.y > heightCm - radius)
        return true;
    const bool onWall = std::any_of(walls.begin(), walls.end(), [&](const Segment &wall) {
        return distanceToSegment(centre, wall) < radius;
    });
    return onWall || std::any_of(obstacles.begin(), obstacles.end(), [&](const Box &box) {
        const double nearestX = std::clamp(centre.x, box.x, box.x + box.width);
        const double nearestY = std::clamp(centre.y, box.y, box.y + box.height);
        return std::hypot(centre.x - nearestX, centre.y - nearestY) < radius;
    });
}

bool fanReaches(Point front, double headingDegrees, Point flame, double reachCm, double halfAngleDegrees,
                std::span<const Segment> segments)
{
    const double distance = distanceBetween(front, flame);
    if (distance > reachCm)
        return false;
    if (distance > 0 && std::abs(signedDegrees(headingTowards(front, flame) - headingDegrees)) > halfAngleDegrees)
        return false;
    const std::optional<double> screen = distance > 0 ? castRay(front, headingTowards(front, flame), segments)
                                                      : std::nullopt;
    return !screen || *screen >= distance;
}

int rampToward(int current, int target, int stepSize)
{
    const int step = std::max(stepSize, 1);
    return current < target ? std::min(current + step, target) : std::max(current - step, target);
}

std::array<int, 2> wheelTargets(int mode, int speed1Register, int speed2Register)
{
    const bool signedValues = mode & 1;
    const auto steps = [&](int value) { return signedValues ? (value > 127 ? value - 256 : value) : value - 128; };
    const int first = steps(speed1Register), second = steps(speed2Register);
    if (!(mode & 2))
        return {first, second};
    return {std::clamp(first + second, -128, 127), std::clamp(first - second, -128, 127)};
}

int stopValue(int mode)
{
    return (mode & 1) ? 0 : 128;
}

Pose drive(const Pose &start, double leftCmPerSecond, double rightCmPerSecond, double trackCm, double seconds)
{
    const double speed = (leftCmPerSecond + rightCmPerSecond) / 2;
    const double turnRate = (leftCmPerSecond - rightCmPerSecond) / trackCm * DegreesPerRadian; // clockwise
    Pose end = start;
    end.heading = normalizedDegrees(start.heading + turnRate * seconds);
    if (std::abs(turnRate) < StraightTurnRate) {
        const Point step = headingVector(start.heading);
        end.x += step.x * speed * seconds;
        end.y += step.y * speed * seconds;
        return end;
    }
    // Along an arc: the integral of (sin h, cos h) as the heading turns at a steady rate.
    const double radius = speed / (turnRate / DegreesPerRadian);
    const double h0 = start.heading / DegreesPerRadian;
    const double h1 = h0 + turnRate * seconds / DegreesPerRadian;
    end.x += radius * (std::cos(h0) - std::cos(h1));
    end.y += radius * (std::sin(h1) - std::sin(h0));
    return end;
}

bool autoStopDue(bool autoStopOn, double secondsSinceLastAccess, double timeoutSeconds)
{
    return autoStopOn && secondsSinceLastAccess >= timeoutSeconds;
}

double warmthAt(double distanceCm)
{
    // A small flame fills a pixel's slice only near by: the excess falls with distance
    // beyond half a metre and is capped close up.
    constexpr double NearExcess = 60, NearCm = 50;
    return distanceCm <= NearCm ? NearExcess : NearExcess * NearCm / distanceCm;
}

std::array<double, 8> thermalPixels(const Pose &sensor, Point warmObject, double ambient, double fieldDegrees,
                                    std::span<const Segment> segments)
{
    std::array<double, 8> pixels;
    pixels.fill(ambient);
    const Point eye{sensor.x, sensor.y};
    const double distance = distanceBetween(eye, warmObject);
    const double offAxis = signedDegrees(headingTowards(eye, warmObject) - sensor.heading);
    const double fromLeft = offAxis + fieldDegrees / 2;
    if (distance <= 0 || fromLeft < 0 || fromLeft >= fieldDegrees)
        return pixels;
    const std::optional<double> screen = castRay(eye, headingTowards(eye, warmObject), segments);
    if (screen && *screen < distance)
        return pixels;
    pixels[std::size_t(fromLeft / (fieldDegrees / 8))] = ambient + warmthAt(distance);
    return pixels;
}

double hornDegrees(double pulseMicroseconds)
{
    return std::clamp((pulseMicroseconds - 500.0) * 180.0 / 2000.0, 0.0, 180.0);
}

double pulseAfter(double current, double target, int speedRegister, double seconds)
{
    if (speedRegister <= 0)
        return target;
    const double travel = speedRegister * seconds / 0.020;
    return current < target ? std::min(current + travel, target) : std::max(current - travel, target);
}

} // namespace kestrava::sim::geometry
