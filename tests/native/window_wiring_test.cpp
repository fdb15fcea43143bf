// Every window the core wires needs its view's maker: the start-up check names the first window
// whose maker is missing, so no window can silently never open.
#include <gtest/gtest.h>

#include <string_view>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::Log;

template <class View>
void ProvideUnless(WindowFactory& factory, std::string_view window, std::string_view left) {
  if (window != left) factory.Provide<View>([] { return nullptr; });
}

// A maker for every window's view but the one left out, as the program provides them.
void ProvideAllBut(WindowFactory& factory, std::string_view left) {
  ProvideUnless<LoginView>(factory, "frmLogin", left);
  ProvideUnless<CreateIdView>(factory, "frmCreateId", left);
  ProvideUnless<AboutView>(factory, "frmAbout", left);
  ProvideUnless<AwayView>(factory, "frmAway", left);
  ProvideUnless<PreferencesView>(factory, "frmPreferences", left);
  ProvideUnless<ChatView>(factory, "frmChat", left);
  ProvideUnless<ProfileView>(factory, "frmUserInfo", left);
  ProvideUnless<GameDetailsView>(factory, "frmGameDetails", left);
  ProvideUnless<HostGameView>(factory, "frmHostGame", left);
  ProvideUnless<ReconnectView>(factory, "frmReconnect", left);
}

TEST(WindowMakers, TheCheckNamesTheRegisteredWindowWithoutOne) {
  for (std::string_view left :
       {"", "frmLogin", "frmCreateId", "frmAbout", "frmAway", "frmPreferences", "frmChat",
        "frmUserInfo", "frmGameDetails", "frmHostGame", "frmReconnect"}) {
    ClientHarness core;
    ProvideAllBut(core.factory, left);
    EXPECT_EQ(core.core.MissingWindowMaker(), left) << "left out: " << left;
  }
}

TEST(WindowMakers, AMissingOneFailsTheStartupNamingIt) {
  ClientHarness core;
  ProvideAllBut(core.factory, "frmAway");
  core.session.StartupFailed(core.core.MissingWindowMaker());
  EXPECT_EQ(core.Take(),
            (Log{"box Error! critical Corvane encountered an error while loading. Please "
                 "reinstall.\n\nNo maker for the window frmAway.",
                 "remove tray icon", "end program"}));
}

}  // namespace
}  // namespace cv3
