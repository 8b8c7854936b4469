#include "common/failure_cause.h"

#include <cerrno>

namespace kiv {

std::string FirstSentence(const std::string& text) {
  std::string flat;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      if (!flat.empty() && flat.back() != ' ') flat += ' ';
      continue;
    }
    flat += c;
  }
  for (size_t i = 0; i < flat.size(); ++i) {
    const char c = flat[i];
    const bool last = i + 1 == flat.size();
    if (c == '!' || c == '?' || (c == '.' && (last || flat[i + 1] == ' '))) {
      flat.resize(i + 1);
      break;
    }
  }
  while (!flat.empty() && (flat.back() == ' ' || flat.back() == '\t')) flat.pop_back();
  size_t start = flat.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : flat.substr(start);
}

Answer CauseRecordingPrompter::MsgBox(const Message& message) {
  const std::string sentence = FirstSentence(message.text);
  last_ = message.title.empty() ? sentence : message.title + (sentence.empty() ? "" : ": " + sentence);
  return inner_.MsgBox(message);
}

std::string NoImageCause(const std::string& output) {
  const size_t at = output.rfind(kNoImageMade);
  if (at == std::string::npos) return "";
  const size_t from = at + std::string(kNoImageMade).size();
  const size_t end = output.find_first_of("\r\n", from);
  return output.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

std::string WriteFailureCause(const std::error_code& error) {
  if (!error) return "";
  if (error == std::errc::no_space_on_device) return "the disk is full (" + error.message() + ")";
#ifdef EDQUOT
  if (error.value() == EDQUOT && error.category() == std::generic_category())
    return "the disk quota is used up (" + error.message() + ")";
#endif
  return error.message();
}

std::string CannotWriteText(const std::string& path, const std::error_code& error) {
  const std::string cause = WriteFailureCause(error);
  return "cannot write " + path + (cause.empty() ? "" : ": " + cause);
}

}  // namespace kiv
