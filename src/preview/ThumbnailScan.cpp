#include "ThumbnailScan.h"

#include <algorithm>
#include <vector>

namespace brevio {

HRESULT MakeThumbnailsInOrder(uint32_t count, const ThumbnailScanHooks& hooks) {
    const uint32_t n = count;
    std::vector<int32_t> nextLink(n, -1);
    uint32_t i = 0;       // next candidate
    uint32_t resume = 0;  // where the plain scan continues
    uint32_t limit = n;   // start of the made run that reaches the end
    uint32_t head = 0;    // first index of the current run
    uint32_t lastRequest = 0;
    bool jumped = false;

    while (i < n) {
        if (!hooks.keepRunning()) return S_OK;

        if (i % 3 == 0) {
            const uint32_t m = std::min(head, lastRequest);
            const uint32_t r = hooks.priorityStart();
            lastRequest = r;
            if (m > r || i < r) {
                if (!jumped) resume = i;
                jumped = true;
                i = r;
                head = r;
            }
        }
        // A wish that lies behind the plain scan or inside the run at the end: back to the scan.
        if (i <= resume || i >= limit) {
            i = resume;
            jumped = false;
            head = resume;
        }

        const uint32_t start = i;
        while (i < n && nextLink[i] >= 0) {
            i = static_cast<uint32_t>(nextLink[i]);
            head = i;
            if (i >= limit) break;
        }
        if (!jumped) resume = i;

        if (i >= limit) {
            // Everything from `start` to the end is made.
            if (start < limit) limit = start;
            i = n;
        } else if (i < n) {
            const HRESULT hr = hooks.make(i);
            if (FAILED(hr)) return hr;
            nextLink[i] = static_cast<int32_t>(head);
            nextLink[head] = static_cast<int32_t>(i + 1);
        }

        if (i % 2 == 0 || i + 1 >= n) hooks.invalidate();
        if (i + 1 >= n && jumped) {
            // The wished-for part is done up to the end: back to where the plain scan stopped.
            i = resume - 1;  // wraps to the largest value when resume is 0; the increment undoes it
            jumped = false;
            head = i;
        }
        ++i;
    }
    return S_OK;
}

}  // namespace brevio
