#pragma once
// A USB adapter as the tests plug it in and pull it out: a pseudo-terminal
// behind a symbolic link at a path of the test's choosing, which the program
// is given as -port:N=PATH. Unplugging removes the link and closes the
// master (the program's side then reads as hung up, and the slave node
// goes); plugging in makes a new pseudo-terminal and a new link, as udev
// makes a new node and its /dev/serial/by-id link.

#include <memory>
#include <string>

#include "support/Pty.h"

namespace tapwise {

class PtyAdapter {
 public:
  explicit PtyAdapter(std::string linkPath) : m_link(std::move(linkPath)) {}
  ~PtyAdapter() { Unplug(); }
  PtyAdapter(const PtyAdapter&) = delete;
  PtyAdapter& operator=(const PtyAdapter&) = delete;

  const std::string& Link() const { return m_link; }
  // Makes the new pseudo-terminal without its link (a device that udev has
  // not announced yet, or that a test wants to hold first); Plug does it
  // when not done.
  bool Make();
  // The link, to the pseudo-terminal made (or a new one); false on failure.
  bool Plug();
  void Unplug();
  bool Plugged() const { return m_wire != nullptr; }
  // The far end of the wire; valid while plugged (or made).
  Pty& Wire() { return *m_wire; }

 private:
  std::string m_link;
  std::unique_ptr<Pty> m_wire;
};

}  // namespace tapwise
