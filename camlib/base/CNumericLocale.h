#pragma once

// Formats numbers the way files and peers read them, whatever locale the
// program runs in: while an object lives, the calling thread formats with the
// "C" numeric conventions ("." as the decimal point, no grouping). The desktop
// program takes its locale from the environment, where a "," may be the
// decimal point; texts written for support or parsed again must not change
// with it. Only the calling thread is affected.

#include <locale.h>

namespace veltrion {

class CNumericLocale {
public:
    CNumericLocale() {
        // The thread's other categories (text, time) stay as they are.
        const locale_t base = duplocale(uselocale(static_cast<locale_t>(0)));
        if (base == static_cast<locale_t>(0)) return;
        locale_ = newlocale(LC_NUMERIC_MASK, "C", base);
        if (locale_ == static_cast<locale_t>(0)) {
            freelocale(base);  // newlocale keeps its base only on success
            return;
        }
        previous_ = uselocale(locale_);
    }
    ~CNumericLocale() {
        if (locale_ == static_cast<locale_t>(0)) return;
        uselocale(previous_);
        freelocale(locale_);
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t locale_ = static_cast<locale_t>(0);
    locale_t previous_ = static_cast<locale_t>(0);
};

}  // namespace veltrion
