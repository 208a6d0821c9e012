#pragma once

namespace kestrava::bench {

// The telemetry click and the ten-register read sequence through the window, on a
// simulator whose emulated USB latency timer is `timerMs`, each beside a raw client
// sending the same frames on the same simulator: the window's cost over the floor.
void measureLatencyTimer(int timerMs);
// The ten-register read sequence over ser2net and socat on 127.0.0.1, the same way.
void measureRemotePath();

} // namespace kestrava::bench
