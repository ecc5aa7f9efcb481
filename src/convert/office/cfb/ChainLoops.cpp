#include "convert/office/cfb/ChainLoops.h"

#include <utility>

bool DirectoryTreeLoops(const std::vector<DirectoryLinks>& links) {
  if (links.empty()) return false;
  // Depth-first with an explicit stack: 1 on the way down, 2 done. An entry met
  // again while on the way down closes a loop; one met again when done (two links to
  // one entry) is passed over, as it leads nowhere new.
  std::vector<uint8_t> state(links.size(), 0);
  std::vector<std::pair<uint32_t, int>> stack{{0, 0}};
  state[0] = 1;
  while (!stack.empty()) {
    auto& [id, next] = stack.back();
    const DirectoryLinks& e = links[id];
    const uint32_t to = next == 0 ? e.left : next == 1 ? e.right : next == 2 ? e.child : 0xFFFFFFFF;
    if (next++ > 2) {
      state[id] = 2;
      stack.pop_back();
      continue;
    }
    // No entry links to the root (id 0): a 0 there is read as no link, as some
    // writers leave it.
    if (to == 0 || to >= links.size()) continue;
    if (state[to] == 1) return true;
    if (state[to] == 0) {
      state[to] = 1;
      stack.emplace_back(to, 0);
    }
  }
  return false;
}
