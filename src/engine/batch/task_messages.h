// The messages between the batch supervisor and its worker processes, over
// a stream socket. Every message is a 4-byte length and that many bytes of
// fields; a field is a 32-bit number or a length-prefixed text. The
// supervisor sends one run message, then one task per document; the worker
// answers each task with one answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/job.h"
#include "settings/settings.h"

namespace qm {

// The largest message either side accepts: a Settings record with long
// texts stays far below it, and a damaged stream cannot make the reader
// allocate without bound.
inline constexpr std::uint32_t kMaxTaskMessageSize = 16u << 20;

struct RunMessage {
  Settings settings;
  RunFormat format;
};

struct TaskMessage {
  std::uint32_t id = 0;
  JobInput input;  // with the temporary output path the supervisor chose
};

struct AnswerMessage {
  std::uint32_t id = 0;
  RenderResult result;
};

std::string encodeRunMessage(const RunMessage& message);
std::optional<RunMessage> decodeRunMessage(std::string_view bytes);
std::string encodeTaskMessage(const TaskMessage& message);
std::optional<TaskMessage> decodeTaskMessage(std::string_view bytes);
std::string encodeAnswerMessage(const AnswerMessage& message);
std::optional<AnswerMessage> decodeAnswerMessage(std::string_view bytes);

// Whole messages over a socket, retried through interruptions and short
// transfers. Sending never raises SIGPIPE: a peer that is gone is a false
// return. Receiving returns nothing at the end of the stream, on a damaged
// length or on an error.
bool sendMessage(int socket, std::string_view payload);
std::optional<std::string> receiveMessage(int socket);

}  // namespace qm
