#pragma once
// A window test with a simulated device: the window made, activated (so that it has taken its
// saved settings) and pointed at the device afterwards, shown, with the demo folder at hand.
#include <QStringList>
#include <cstdint>

#include "tests/appui/support/windowfixture.h"
#include "tests/common/simpeer.h"

class ConfigTreeView;

class DeviceWindowTest : public WindowTest, protected SimPeer {
  protected:
    // The window pointed at the device (started by the test) as device `number`, on show.
    TVR7CfgUpdate& ShowWindowAtDevice(uint32_t number);
    // Opens a copy of the demo folder as Work()/vr7_12 in the window; the folder dialog keeps
    // answering with it.
    void OpenDemoFolder(TVR7CfgUpdate& w);
};

// The tree on the screen as captions indented one space a level.
QStringList ShownTree(const ConfigTreeView* tree);
