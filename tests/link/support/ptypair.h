#pragma once
// A pseudo-terminal pair for serial link tests: the test holds the master side, the link opens
// the slave by its path, as it would open a serial device.
#include <string>

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0; }
    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // Reads exactly count bytes from the master within timeoutMs; false when they did not come.
    bool ReadMaster(void* bytes, size_t count, int timeoutMs);
    void CloseMaster();

  private:
    int master_ = -1;
    std::string slavePath_;
};
