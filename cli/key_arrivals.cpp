// Looking for newly attached keys.
#include "key_arrivals.h"

#include <algorithm>

#include "key_transport.h"

namespace {

bool Holds(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

}  // namespace

void TakeAttachedKeys(KeyArrivals& arrivals) {
    arrivals.listedBefore = ListKeyPaths();
    arrivals.taken = arrivals.listedBefore;
}

std::vector<std::string> NewArrivals(KeyArrivals& arrivals) {
    std::vector<std::string> listed = ListKeyPaths();
    std::vector<std::string> arrived, taken;
    for (const std::string& path : listed) {
        if (Holds(arrivals.taken, path))
            taken.push_back(path);
        else if (Holds(arrivals.listedBefore, path))
            arrived.push_back(path);
    }
    taken.insert(taken.end(), arrived.begin(), arrived.end());
    arrivals.taken = std::move(taken);
    arrivals.listedBefore = std::move(listed);
    return arrived;
}
