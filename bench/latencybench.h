#pragma once

namespace kestrava::bench {

// The telemetry click and the ten-register read sequence through the window, on a
// simulator whose emulated USB latency timer is `timerMs`, each beside a raw client
// sending the same frames on the same simulator: the window's cost over the floor.
void measureLatencyTimer(int timerMs);
// Telemetry as the window reads it (Leer Datos, one register a frame) beside the
// command line's read-out (one 12-byte read over a link kept in step), on one
// simulator with wire time and, when `timerMs` is above 0, that latency timer.
void measureTelemetryReadOuts(int timerMs);
// The ten-register read sequence over ser2net and socat on 127.0.0.1, the same way.
void measureRemotePath();

} // namespace kestrava::bench
