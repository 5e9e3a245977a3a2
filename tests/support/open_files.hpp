// How many files (descriptors or handles) the process holds open, so that
// tests can check that every path releases what it opened.
#pragma once

namespace vsk::test {
int OpenFileCount();
}
