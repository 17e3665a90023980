#include "MessageSink.h"

#include <atomic>
#include <cstdio>

namespace fwl {

namespace {

std::atomic<KB_MessageHandler> g_handler{nullptr};

}  // namespace

void setMessageHandler(KB_MessageHandler handler) { g_handler = handler; }

void showMessage(const char* text) {
    if (KB_MessageHandler h = g_handler.load()) {
        h(text);
        return;
    }
    std::fprintf(stderr, "FwLoader: %s\n", text);
}

}  // namespace fwl
