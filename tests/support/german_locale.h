#pragma once

#include <filesystem>
#include <locale>

namespace qvx::test {

/// Switches the C library (every category) and the C++ global locale to German, decimal
/// comma and '.' between thousands, for its lifetime; back to "C" afterwards. When the system
/// has not installed the locale it is generated into a scratch folder. `available()` is false
/// when neither worked.
class GermanLocale {
public:
    GermanLocale();
    ~GermanLocale();
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    [[nodiscard]] bool available() const { return m_available; }

private:
    std::filesystem::path m_scratch;
    std::locale m_previous;
    bool m_available = false;
};

}  // namespace qvx::test
