// Why the window gives its verdict, as a screen reader reads it beside the
// verdict, for the faults people meet every day: a printer's name that no
// name server knows, or no name server that answers; an address with no
// route to it; a port that refuses, never answers or hangs up at once; TLS
// that fails; an HTTP error; jobs stuck in the queue; supplies that run low.
//
// The program runs in a network namespace of its own (OwnNetwork.h) under
// scripts/own-resolver, which points its resolver at the tests' name
// server (UdpPeer.h's NameServer, on kTestNameServer there).
#include "OwnNetwork.h"
#include "SchedulerWindow.h"
#include "StepCases.h"

using namespace printing::testing;

namespace {

::testing::Environment* const own_network =
    ::testing::AddGlobalTestEnvironment(new printing::testing::OwnNetworkFirst);

class DeviceWindowTest : public SchedulerWindow {
 protected:
  static void SetUpTestSuite() { StartScheduler(); }

  // Lists the printers, chooses `name` and tests it.
  std::string Tested(const std::string& name) {
    Load();
    Choose(QString::fromStdString(name));
    Test();
    return Verdict();
  }
};

const std::string kNotReady = "Printer Not Ready (at this time) / Not ready: ";

TEST_F(DeviceWindowTest, EachStepThatFailsSaysWhatToCheck) {
  const StepPeers peers;
  const std::vector<StepCase> cases = StepCases();
  int n = 0;
  for (const StepCase& c : cases) {
    const std::string path = std::string(c.scheme).rfind("ipp", 0) == 0 ? "/ipp/print" : "/queue";
    scheduler->Run("lpadmin -p Step" + std::to_string(n++) + " -E -v '" +
                   peers.Filled(std::string(c.scheme) + "://" + c.host + ":" + c.port + path) + "'");
  }
  n = 0;
  for (const StepCase& c : cases)
    EXPECT_EQ(Tested("Step" + std::to_string(n++)),
              (c.ready ? "Printer Ready / " : "Printer Not Ready (at this time) / ") + peers.Filled(c.reason))
        << c.name;
}

// What waits in a queue, beside the verdict.
TEST_F(DeviceWindowTest, StuckJobsAreNamed) {
  scheduler->Run("lpadmin -p Stuck -E -v file:///dev/null && cupsdisable Stuck");
  scheduler->Run("echo page >\"$HOME/page.txt\" && lp -d Stuck -H indefinite \"$HOME/page.txt\" >/dev/null");
  EXPECT_EQ(Tested("Stuck"), kNotReady +
                                 "the print queue is paused. Resume it in the printer settings, or with cupsenable "
                                 "Stuck. 1 job is held. The print system says \"Paused\"");
  scheduler->Run("lp -d Stuck \"$HOME/page.txt\" >/dev/null && lp -d Stuck \"$HOME/page.txt\" >/dev/null");
  EXPECT_EQ(Tested("Stuck"), kNotReady +
                                 "the print queue is paused. Resume it in the printer settings, or with cupsenable "
                                 "Stuck. 3 jobs wait in the queue, 1 of them held. The print system says \"Paused\"");
}

}  // namespace
