#pragma once
// A pseudo-terminal that the program creates and keeps: it holds the master
// side for its whole life and shows the slave side's path, which another
// program (or our own port code) opens as if it were a serial port.
//
// The slave side is made raw at once, through the master: a fresh slave is
// cooked with ECHO, and every byte written into the master would come
// straight back out of it as if received. The slave itself is never held
// open here, so closing and re-opening it from elsewhere works.

#include <memory>
#include <string>

namespace tapwise {

class PseudoTerminal {
 public:
  // A new pseudo-terminal; null on failure, with a one-line reason in *error.
  static std::unique_ptr<PseudoTerminal> Create(std::string* error = nullptr);

  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Non-blocking, close-on-exec; owned by this object.
  int MasterFd() const { return m_masterFd; }
  const std::string& SlavePath() const { return m_slavePath; }

 private:
  PseudoTerminal(int masterFd, std::string slavePath);

  int m_masterFd;
  std::string m_slavePath;
};

}  // namespace tapwise
