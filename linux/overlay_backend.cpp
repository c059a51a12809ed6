#include "linux/overlay_backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const OverlayBackend* PickOverlayBackend(const std::vector<const OverlayBackend*>& backends,
                                         const char* forced, std::string& reasons) {
    const bool anyOne = !forced || !*forced;
    bool named = false;
    for (const OverlayBackend* backend : backends) {
        if (!anyOne && std::strcmp(forced, backend->name) != 0) continue;
        named = true;
        std::string reason;
        if (backend->open(reason)) return backend;
        if (!reasons.empty()) reasons += "; ";
        reasons += std::string(backend->name) + ": " + reason;
    }
    if (!named) {
        std::string known;
        for (const OverlayBackend* backend : backends) {
            known += (known.empty() ? "" : ", ") + std::string(backend->name);
        }
        reasons = "NOCTIVA_BACKEND=" + std::string(forced) + " names no overlay (" + known + ")";
    }
    return nullptr;
}

const OverlayBackend* OpenOverlayBackend(const std::vector<const OverlayBackend*>& backends,
                                         std::string& reasons) {
    const OverlayBackend* backend =
        PickOverlayBackend(backends, std::getenv("NOCTIVA_BACKEND"), reasons);
    if (backend) std::fprintf(stderr, "noctiva: overlay: %s\n", backend->description);
    return backend;
}
