#pragma once
// The record of every call into the receiver-control library, one JSON object a line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::kvapi {

// {"t":<s>,"dir":<dir>,"call":<call>[,"receiver":<n>],"args":[...],"result":<v>}
std::string CallTraceLine(double t, const char* dir, const char* call, std::optional<int32_t> receiver,
                          const std::vector<int64_t>& args, int64_t result);

// Appends one line with a single write, so lines from several processes never interleave.
void AppendTraceLine(const char* path, const std::string& line);

}  // namespace platform::kvapi
