#include "Platform/TempFile.h"

#include "Platform/CodePage.h"
#include "Platform/TickCount.h"
#include "Platform/posix/OwnedHandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::u16string HexNumber(std::uint32_t number) {
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    std::u16string text;
    do {
        text.insert(text.begin(), digits[number % 16]);
        number /= 16;
    } while (number != 0);
    return text;
}

std::u16string NameFor(const std::u16string& stem, std::uint32_t number) {
    return stem + HexNumber(number) + u".tmp";
}

// Windows starts the search at the tick count, so that processes calling at different times seldom
// walk over each other's names.
std::uint32_t FirstCandidate() {
    const std::uint32_t number = GetTickCount() & 0xFFFF;
    return number == 0 ? 1 : number;
}

void Store(const std::u16string& name, char16_t* target) {
    std::memcpy(target, name.c_str(), (name.size() + 1) * sizeof(char16_t));
}

} // namespace

std::uint32_t GetTempFileNameW(const char16_t* pathName, const char16_t* prefix, std::uint32_t unique,
                               char16_t* tempFileName) {
    if (pathName == nullptr || tempFileName == nullptr) {
        errno = EINVAL;
        return 0;
    }
    std::u16string stem = pathName;
    if (!stem.empty() && stem.back() != u'/')
        stem += u'/';
    if (prefix != nullptr)
        stem += std::u16string(prefix).substr(0, 3);

    // Decided on the longest name the search can produce, so the outcome does not depend on the number
    // that happens to come up.
    if (NameFor(stem, 0xFFFF).size() >= MAX_PATH) {
        errno = ENAMETOOLONG;
        return 0;
    }

    if (unique != 0) {
        unique &= 0xFFFF;
        Store(NameFor(stem, unique), tempFileName);
        return unique;
    }

    std::uint32_t number = FirstCandidate();
    for (std::uint32_t tried = 0; tried < 0xFFFF; ++tried) {
        const std::u16string name = NameFor(stem, number);
        if (const TOwnedHandle file(
                ::open(UnicodeToAnsi(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            file) {
            Store(name, tempFileName);
            return number;
        }
        if (errno != EEXIST)
            return 0;
        number = number == 0xFFFF ? 1 : number + 1;
    }
    errno = EEXIST;
    return 0;
}
