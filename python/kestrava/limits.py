"""The server's bounds and error codes, which the package checks arguments against before
anything is sent and reads errors by.

They are written once on the server's side (cli/limits.h); the server tells them in hello's
"limits" and "codes", and tests/python/test_robot.py holds these copies to what it says.
"""

DEFAULT_WATCHDOG_MS = 1000
LONGEST_WAIT_MS = 60000  # watchdog and timeout
LONGEST_DRIVE_MS = 10000
LONGEST_CLOCK_WAIT_S = 86400  # the server's wait on the robot's clock
WHEEL_STEPS = (-127, 127)  # a wheel's speed, steps either side of the stop
SERVO_POSITIONS = (500, 2500)
SERVOS = 21
READ_COUNT = 255  # registers read, or bytes written, in one frame
LONGEST_TEXT = 40

# The server's error codes: JSON-RPC's own, then the command line's exit statuses.
INVALID_PARAMS = -32602
NO_ANSWER = 1
PORT_NOT_OPENED = 3
DEVICE_LOST = 4
