#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

// The simulated robot's physics as plain numbers in, numbers out, so that each rule
// can be checked with literal values. Lengths are centimetres, angles degrees.
// The arena's x grows to the east and y to the north; headings are read as the
// compass reads them: 0 north, 90 east, growing clockwise.
namespace kestrava::sim::geometry {

struct Point
{
    double x = 0, y = 0;
};

struct Pose
{
    double x = 0, y = 0;
    double heading = 0; // 0 <= heading < 360
};

struct Segment
{
    Point a, b;
};

// An axis-aligned box: an obstacle on the floor.
struct Box
{
    double x = 0, y = 0, width = 0, height = 0; // (x, y) is the south-west corner

    bool contains(Point p) const { return p.x >= x && p.x <= x + width && p.y >= y && p.y <= y + height; }
};

// Degrees brought into 0 <= angle < 360.
double normalizedDegrees(double degrees);
// Degrees brought into -180 <= angle < 180.
double signedDegrees(double degrees);
// The unit step for a compass heading: (sin, cos).
Point headingVector(double headingDegrees);
// The compass heading from one point towards another.
double headingTowards(Point from, Point to);
double distanceBetween(Point a, Point b);

// A point given on the robot (right of its centre, ahead of its centre) in the arena.
Point onRobot(const Pose &robot, double rightCm, double forwardCm);

// The four edges of a box, and those of an arena of the given size with its south-west
// corner at the origin.
std::array<Segment, 4> edgesOf(const Box &box);
// Everything a ray can meet: the arena's edges, the walls inside it and the boxes' edges.
std::vector<Segment> wallsAndObstacles(double widthCm, double heightCm, std::span<const Box> obstacles,
                                       std::span<const Segment> walls = {});
double distanceToSegment(Point p, const Segment &segment);
// Whether a segment crosses or lies in a box (touching its edge counts).
bool segmentMeetsBox(const Segment &segment, const Box &box);

// How far a ray from `origin` along `headingDegrees` runs before it meets a segment;
// nothing when it meets none.
std::optional<double> castRay(Point origin, double headingDegrees, std::span<const Segment> segments);

// Whether a disc of `radius` at `centre` overlaps a box or a wall, or reaches outside the arena.
bool collides(Point centre, double radius, double widthCm, double heightCm, std::span<const Box> obstacles,
              std::span<const Segment> walls = {});

// ---- The fan ----

// Whether a fan at `front`, blowing along `headingDegrees`, reaches a flame: within
// `reachCm` of it, within `halfAngleDegrees` of the heading, nothing in between.
bool fanReaches(Point front, double headingDegrees, Point flame, double reachCm, double halfAngleDegrees,
                std::span<const Segment> segments);

// ---- Motors ----

// One wheel's speed after one step of the controller's ramp: it moves towards the
// target by at most `stepSize` steps (at least one).
int rampToward(int current, int target, int stepSize);

// The two wheel speeds, in signed steps away from stop, that the controller aims at
// for its mode and its two speed registers. Modes 0 and 2 read the registers as
// 0..255 with 128 at stop, modes 1 and 3 as signed bytes. Modes 0 and 1 drive each
// wheel from its own register; modes 2 and 3 drive both from the first and turn by
// the second.
std::array<int, 2> wheelTargets(int mode, int speed1Register, int speed2Register);
// The register value that stops the motors in a mode: 128, or 0 in the signed modes.
int stopValue(int mode);

// Where a differential drive gets to when its left and right wheels run at constant
// speeds (cm/s) for `seconds`; `trackCm` is the distance between the wheels.
Pose drive(const Pose &start, double leftCmPerSecond, double rightCmPerSecond, double trackCm, double seconds);

// Whether the controller's automatic stop has come: it is on, and the last bus
// access lies at least `timeout` seconds back.
bool autoStopDue(bool autoStopOn, double secondsSinceLastAccess, double timeoutSeconds);

// ---- Thermal array ----

// The eight pixels of a thermal array looking along `sensor` with a horizontal field
// of view `fieldDegrees`, pixel 0 leftmost: each reads `ambient`, and the one whose
// slice of the field holds the warm object reads warmer, the more so the nearer it is.
// A wall or an obstacle between them hides the object.
std::array<double, 8> thermalPixels(const Pose &sensor, Point warmObject, double ambient, double fieldDegrees,
                                    std::span<const Segment> segments);
// How much warmer than the ambient the warm object reads at a distance.
double warmthAt(double distanceCm);

// ---- Servos ----

// The angle of a servo horn for a pulse width: 500 us at 0 degrees, 2500 us at 180,
// clamped to that half turn.
double hornDegrees(double pulseMicroseconds);
// The pulse a servo controller puts out, moving from `current` towards `target` by
// `speedRegister` microseconds every 20 ms refresh (0: at once), after `seconds`.
double pulseAfter(double current, double target, int speedRegister, double seconds);

} // namespace kestrava::sim::geometry
