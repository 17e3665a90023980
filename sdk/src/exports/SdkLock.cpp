#include "SdkLock.h"

namespace vexa {

std::recursive_mutex& sdkLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace vexa
