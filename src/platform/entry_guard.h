// What no exception may cross: the host, the frame framework and the dialog manager call
// the module as C, and an exception unwinding into them ends the process. Every entry
// point runs its body through GuardEntry, which turns whatever escapes into the entry
// point's failure status.
#pragma once

namespace wdi {

template <class Result, class Body>
Result GuardEntry(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// For entry points without a result.
template <class Body>
void GuardEntryVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace wdi
