#include "engine/batch/task_messages.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <concepts>
#include <cstring>
#include <type_traits>

#include "platform/stream.h"
#include "settings/settings_file.h"

namespace qm {

namespace {

// Each message's fields are listed once, in fieldsOf(), and walked by a
// Writer to encode and by a Reader to decode, so the two cannot drift.
class Writer {
 public:
  template <typename Value>
  Writer& number(Value value) {
    auto narrowed = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    for (int shift = 0; shift < 32; shift += 8) bytes_ += static_cast<char>((narrowed >> shift) & 0xFF);
    return *this;
  }
  Writer& flag(bool value) { return number(value ? 1 : 0); }
  Writer& text(std::string_view value) {
    number(value.size());
    bytes_.append(value);
    return *this;
  }
  // Numbers travel as 32 bits: a byte count goes in MiB.
  Writer& mebibytes(std::uint64_t bytes) { return number(std::min<std::uint64_t>(bytes >> 20, 0x7FFFFFFF)); }
  Writer& settings(const Settings& settings) { return text(settingsRecordText(settings)); }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Reads fields in the order they were written; any field past the end
// makes the whole message unreadable.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  template <typename Value>
  Reader& number(Value& value) {
    if (bytes_.size() < 4) {
      ok_ = false;
      return *this;
    }
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[i])) << (8 * i);
    bytes_.remove_prefix(4);
    value = static_cast<Value>(static_cast<std::int32_t>(raw));
    return *this;
  }
  Reader& flag(bool& value) {
    std::int32_t raw = 0;
    number(raw);
    value = raw != 0;
    return *this;
  }
  Reader& text(std::string& value) {
    std::uint32_t size = 0;
    number(size);
    if (!ok_ || size > bytes_.size()) {
      ok_ = false;
      return *this;
    }
    value.assign(bytes_.substr(0, size));
    bytes_.remove_prefix(size);
    return *this;
  }
  Reader& mebibytes(std::uint64_t& bytes) {
    std::int64_t count = 0;
    number(count);
    if (count < 0) ok_ = false;
    if (ok_) bytes = static_cast<std::uint64_t>(count) << 20;
    return *this;
  }
  Reader& settings(Settings& settings) {
    std::string recordText;
    text(recordText);
    if (ok_ && !readSettingsRecordText(settings, recordText)) ok_ = false;
    return *this;
  }
  // Every field read and nothing left over.
  bool complete() const { return ok_ && bytes_.empty(); }

 private:
  std::string_view bytes_;
  bool ok_ = true;
};

template <typename Message, typename Expected>
concept MessageOf = std::same_as<std::remove_const_t<Message>, Expected>;

template <typename Fields, MessageOf<RunMessage> Message>
void fieldsOf(Fields& fields, Message& message) {
  fields.settings(message.settings)
      .text(message.format.extension)
      .number(message.format.writerId)
      .number(message.format.bitDepthSetting)
      .number(message.format.saveFlags);
}

template <typename Fields, MessageOf<TaskMessage> Message>
void fieldsOf(Fields& fields, Message& message) {
  auto& input = message.input;
  fields.number(message.id)
      .text(input.inputPath)
      .text(input.relativeSubFolder)
      .text(input.outputFolder)
      .number(input.sequenceNumber)
      .number(input.randomNumber)
      .text(input.temporaryOutputPath)
      .mebibytes(input.memoryLimit);
}

template <typename Fields, MessageOf<AnswerMessage> Message>
void fieldsOf(Fields& fields, Message& message) {
  auto& result = message.result;
  fields.number(message.id)
      .flag(result.rendered)
      .flag(result.reachedWrite)
      .text(result.temporaryOutputPath)
      .number(result.sourceBitDepth)
      .number(result.width)
      .number(result.height)
      .number(result.bitDepth)
      .text(result.failure)
      .text(result.notes);
}

template <typename Message>
std::string encode(const Message& message) {
  Writer writer;
  fieldsOf(writer, message);
  return writer.take();
}

template <typename Message>
std::optional<Message> decode(std::string_view bytes) {
  Message message;
  Reader reader(bytes);
  fieldsOf(reader, message);
  if (!reader.complete()) return std::nullopt;
  return message;
}

}  // namespace

std::string encodeRunMessage(const RunMessage& message) { return encode(message); }
std::optional<RunMessage> decodeRunMessage(std::string_view bytes) { return decode<RunMessage>(bytes); }
std::string encodeTaskMessage(const TaskMessage& message) { return encode(message); }
std::optional<TaskMessage> decodeTaskMessage(std::string_view bytes) { return decode<TaskMessage>(bytes); }
std::string encodeAnswerMessage(const AnswerMessage& message) { return encode(message); }
std::optional<AnswerMessage> decodeAnswerMessage(std::string_view bytes) { return decode<AnswerMessage>(bytes); }

bool sendMessage(int socket, std::string_view payload) {
  if (payload.size() > kMaxTaskMessageSize) return false;
  std::string framed = Writer().number(static_cast<std::int64_t>(payload.size())).take();
  framed.append(payload);
  return platform::sendAll(socket, framed);
}

std::optional<std::string> receiveMessage(int socket) {
  std::array<char, 4> header{};
  if (platform::receiveAll(socket, header) != header.size()) return std::nullopt;
  std::uint32_t size = 0;
  for (std::size_t i = header.size(); i-- > 0;) size = size << 8 | static_cast<unsigned char>(header[i]);
  if (size > kMaxTaskMessageSize) return std::nullopt;
  std::string payload(size, '\0');
  if (platform::receiveAll(socket, payload) != size) return std::nullopt;
  return payload;
}

}  // namespace qm
