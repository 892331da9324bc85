#include "ui/uhr.h"

#include <chrono>

namespace cartonym::ui {

Uhr::~Uhr() = default;

std::int64_t Monotone_uhr::millisekunden() const
{
    const auto now_ts = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ts).count();
}

Uhr& Standard_uhr()
{
    static Monotone_uhr clock_;
    return clock_;
}

} // namespace cartonym::ui
