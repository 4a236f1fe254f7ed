#pragma once
// The document protection pages.
//
// "DOCAUTOS" lists every Protect directive in configuration order as a
// numbered table; the user picks a row and an action (insert before, insert
// after, edit, delete) and, for an insert or edit, the form of the
// protection: inline (a Protect block with its own subdirectives) or a named
// Protection setup with a one-line Protect naming it, and whether the
// password group and the client-certificate group are wanted.
//
// "PROTECT" is the form for one protection, shown in answer to that POST;
// posting it writes the protection and shows the list again. Its two
// optional groups come from the insert pages "PASSPRO" and "SSLPRO".
//
// The front end runs these pages with sequences of their own (see
// cgi/dispatch.cpp): a list POST that asks for an insert or edit shows the
// protection form, and the protection form's output handler runs on GET
// too.

#include "config/config_file.h"
#include "config/protection_blocks.h"
#include "html/page_status.h"
#include "html/templates.h"
#include "validate/form_variables.h"

namespace cfgout {

// Prints "DOCAUTOS": marker 0 the table of Protect directives, marker 1 the
// row choice (1 to the number of rows), marker 2 the status block, later
// markers "". Returns 0.
int DocautosDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg);

// Checks a list POST and carries out a delete. Leaves type "0" (and success
// 0) for an insert or edit that may go on to the protection form, type "3"
// with its message for a rejected request, type "1" and success 1 after a
// delete. Returns the success value.
int DocautosOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Prints "PROTECT" for the posted list request: markers 0-8 hand the
// request back (action, form, group choices, row, template, setup name,
// address), marker 9 names the setup, 10 the password group, 12 the
// client-certificate group, 13 the status block. Prints nothing when the
// request lacks its template or setup name (type "3" then). Returns 0.
int ProtectDisplayHandler(const TemplatePage& page, PageStatus& status, const FormArgList& args,
                          ConfigHandle& cfg);

// Writes the posted protection: deletes the selected Protect directive, or
// puts the protection before it, after it or in its place, inline or as a
// named setup with a one-line Protect. A rejected field writes nothing.
// Returns 0.
int ProtectOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg);

// Print the insert page "PASSPRO" (server id, password and group file,
// masks) or "SSLPRO" (certificate subject and issuer fields and, when
// `clientAuthFlag` is 1, the client authentication check box) in place of
// the "%s" of `line`, filled from `record` (null: every field empty). When
// the insert page cannot be loaded the line is printed with "". Return 0.
int PassproInsertHandler(const char* line, const ProtectionRecord* record);
int SslproInsertHandler(const char* line, const ProtectionRecord* record, int clientAuthFlag);

}  // namespace cfgout
