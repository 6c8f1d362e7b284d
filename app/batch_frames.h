// The framed messages between a batch and its worker processes, over a stream socket pair: each
// frame is a 32-bit length in the host's byte order, then that many bytes. The batch sends a
// worker one keyword per frame; the worker answers each with one report frame.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/search_report.h"

// Frames larger than this are refused: a report is a few kilobytes, this is far beyond any.
inline constexpr std::size_t kLargestFrame = 64 * 1024 * 1024;

// Writes `payload` as one frame to `socket`; false when the peer is gone or the payload is too
// large. Never raises SIGPIPE.
[[nodiscard]] bool write_frame(int socket, std::string_view payload);

// Reads one frame from `socket`; nothing at the end of the stream, on an error, or for a frame
// cut short or too large.
[[nodiscard]] std::optional<std::string> read_frame(int socket);

// A report as a frame's payload, and back; nothing for a payload that is no report.
[[nodiscard]] std::string encode_report(const SearchReport& report);
[[nodiscard]] std::optional<SearchReport> decode_report(std::string_view payload);
