#pragma once
// The user pages: add a user ("ADDUSER"), check a password ("CHKUSER"),
// change a password ("CHPASSWD") and delete a user ("DELUSER") of the web
// administration's own password and group files.
//
// The password file belongs to the password tool; these pages run it with
// one argument per value (never through a shell) and read only its exit
// status. The group file ("group: member, member" lines) is edited here.
// None of the pages changes the proxy configuration: every handler ends with
// success 0, so nothing is written back.

#include <string>
#include <string_view>

#include "config/config_file.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Page numbers of the four pages (their display handler tells them apart).
inline constexpr int kPageAddUser = 4;
inline constexpr int kPageCheckUser = 10;
inline constexpr int kPageChangePassword = 11;
inline constexpr int kPageDeleteUser = 13;

int AdduserOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);
int ChkuserOutputHandler(const FormArgList& args, PageStatus& status);
int ChpasswdOutputHandler(const FormArgList& args, PageStatus& status);
int DeluserOutputHandler(const FormArgList& args, PageStatus& status);

// Prints one of the four pages. Marker 0: the default password file
// (SERVER_ROOT + "protect/webadmin.passwd"); marker 1: the status block on
// CHKUSER and CHPASSWD, the default group file ("protect/webadmin.group") on
// ADDUSER and DELUSER; marker 2: the status block on ADDUSER and DELUSER;
// every other marker "". Returns 0.
int UserDisplayHandler(const TemplatePage& page, PageStatus& status, int pageIndex, const std::string& serverRoot);

// Adds `user` to `group` in the group file: appends ", user" to every line
// whose group name (the text before its first ":") is exactly `group`, or
// writes a new line "group: user" at the end when no line names it (or the
// file does not exist). 0 = done; 1 = no group given, or the file could not
// be written; 2 = no memory.
int CfgAddUserToGroup(std::string_view user, std::string_view group, const std::string& groupFile);

// Takes `user` out of the group file: in every line, the first occurrence of
// the name after the line's first ":" is removed with the ", " that joins it
// to its neighbour; a line left without members is dropped. 0 = done (also
// for an empty file); 1 = the file could not be read; 2 = it could not be
// written; 3 = no memory.
int CfgDelUserFromGroup(std::string_view user, const std::string& groupFile);

}  // namespace cfgout
