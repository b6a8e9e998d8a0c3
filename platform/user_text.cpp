#include "platform/user_text.h"

#include <atomic>

namespace qvx::platform {

namespace {
std::atomic<TextTranslator> g_translator{nullptr};
}  // namespace

void setTextTranslator(TextTranslator translator) {
    g_translator.store(translator);
}

std::string userText(const char* german) {
    const TextTranslator translator = g_translator.load();
    return translator != nullptr ? translator(german) : std::string(german);
}

std::string userText(const char* german, std::initializer_list<std::string_view> arguments) {
    const std::string text = userText(german);
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
            result += *(arguments.begin() + index);
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace qvx::platform
