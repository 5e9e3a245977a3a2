#include "lzh1_model.hpp"

#include <algorithm>

namespace vsk::lzh1 {

void Lzh1Model::InitModel() {
  for (unsigned s = 0; s < kSymbolCount; ++s) {
    NodeFreq[s] = 1;
    NodeChild[s] = static_cast<std::uint16_t>(s + kLeafBase);
    NodeParent[s + kLeafBase] = static_cast<std::uint16_t>(s);
  }
  for (unsigned i = 0, j = kSymbolCount; j < kNodeCount; i += 2, ++j) {
    NodeFreq[j] = static_cast<std::uint16_t>(NodeFreq[i] + NodeFreq[i + 1]);
    NodeChild[j] = static_cast<std::uint16_t>(i);
    NodeParent[i] = NodeParent[i + 1] = static_cast<std::uint16_t>(j);
  }
  NodeFreq[kNodeCount] = 0xFFFF;
  NodeParent[kRoot] = 0;
}

void Lzh1Model::RescaleModel() {
  // Gather the leaves at the bottom, in their order, halved and rounded up
  // so that no leaf drops to 0.
  unsigned j = 0;
  for (unsigned i = 0; i < kNodeCount; ++i) {
    if (NodeChild[i] >= kLeafBase) {
      NodeFreq[j] = static_cast<std::uint16_t>((NodeFreq[i] + 1u) / 2);
      NodeChild[j] = NodeChild[i];
      ++j;
    }
  }
  // Rebuild the internal nodes by insertion into the sorted order. Nodes
  // below j stay sorted, and f exceeds NodeFreq[i] >= NodeFreq[0], so the
  // downward search stops at 0 at the latest.
  for (unsigned i = 0; j < kNodeCount; i += 2, ++j) {
    const unsigned f = NodeFreq[i] + NodeFreq[i + 1];
    unsigned k = j;
    while (f < NodeFreq[k - 1])
      --k;
    std::copy_backward(NodeFreq.begin() + k, NodeFreq.begin() + j, NodeFreq.begin() + j + 1);
    std::copy_backward(NodeChild.begin() + k, NodeChild.begin() + j, NodeChild.begin() + j + 1);
    NodeFreq[k] = static_cast<std::uint16_t>(f);
    NodeChild[k] = static_cast<std::uint16_t>(i);
  }
  for (unsigned i = 0; i < kNodeCount; ++i) {
    const unsigned k = NodeChild[i];
    NodeParent[k] = static_cast<std::uint16_t>(i);
    if (k < kLeafBase) NodeParent[k + 1] = static_cast<std::uint16_t>(i);
  }
}

}  // namespace vsk::lzh1
