"""What ends kestrava-judge early, by exit status."""


class UsageError(Exception):
    """A wrong option, or a program, arena or output that cannot be used: exit status 2."""


class SimulatorFailed(Exception):
    """The trial's simulator would not start or went away: exit status 3."""
