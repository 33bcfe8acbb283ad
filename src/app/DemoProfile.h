#pragma once
// The demo's own profile: a configuration folder apart from the user's, so
// trying the demo never touches real login data, with the login data
// already pointing at the demo recorder and its user "demo".

#include <string>

namespace corvanta::app {

// Points XDG_CONFIG_HOME at "<config>/corvanta-demo" (made when missing),
// before anything reads settings, and stores `serverUrl` and the user name
// "demo" as the login data there. Returns the folder.
std::string UseDemoProfile(const std::string& serverUrl);

// The same for a recorder the host starts over a folder of recordings:
// "<config>/corvanta-folder", with the user and password it made up, so
// the login dialog (after a log-off) is already filled in.
std::string UseFolderProfile(const std::string& serverUrl, const std::string& userName, const std::string& password);

}  // namespace corvanta::app
