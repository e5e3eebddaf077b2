// Zentarix — MIT licence.
// The effects' report texts.
#include "EffectFrame.h"

#include <charconv>

#include "EffectMessages.h"

namespace zx::effects {
namespace {

// The shortest text that reads back as the number (whole numbers without a fraction).
std::u16string number_text(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof(text), value).ptr;
  return std::u16string(text, end);
}

}  // namespace

std::u16string array_to_message(const EffectIdentity& id) {
  return std::u16string(messages::kArrayTo) + id.effect + messages::kEffect;
}

std::u16string array_from_message(const EffectIdentity& id) {
  return std::u16string(messages::kArrayFrom) + id.effect + messages::kEffect;
}

std::u16string exception_message(const EffectIdentity& id) {
  return std::u16string(messages::kExceptionStart) + id.effect + messages::kExceptionEnd;
}

std::u16string range_message(const OLECHAR* setting, double low, double high) {
  return setting + (messages::kBetween + number_text(low)) + messages::kAnd + number_text(high) + messages::kEnd;
}

std::u16string minimum_message(const OLECHAR* setting, LONG least) {
  return setting + (messages::kAtLeast + number_text(least)) + messages::kEnd;
}

std::u16string positive_message(const OLECHAR* setting) { return std::u16string(setting) + messages::kPositive; }

}  // namespace zx::effects
