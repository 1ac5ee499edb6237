// The rules by which a data folder or a settings key is tied to a program by
// its names alone: which names may be used, and the places such names lead
// to. Nothing in these places points into the program's folder, so they are
// offered unticked, and never where another listed program could own them.
#pragma once

#include "access/text_rules.h"

namespace tw {

// A name usable as evidence: at least 3 characters once trimmed, none of
// "\", "/", ":", "*", "?", quotes, "<", ">", "|" or a control character,
// not "." or "..", and not a generic word ("Microsoft", "Windows", "Common
// Files", "Temp", "Programs", "Users", "Default", "Bin" and the like),
// compared ASCII case-blind, and not a version alone ("2.1", "v3").
bool IsUsableName(const Text& name);

// The display name without a trailing version: "Foo 5", "Foo 5.2",
// "Foo v2024" and "Foo 2024.1.3" give "Foo"; a name that is only a version
// stays as it is.
Text WithoutTrailingVersion(const Text& displayName);

// The last component of a folder path (trailing "\" ignored); empty for a
// drive root or an empty path.
Text FolderName(const Text& folder);

// A program's product names: its install folder's own name, as Windows
// names that folder (".", "..", "/", trailing dots and spaces taken as
// Windows takes them, an 8.3 name expanded when the folder exists), and its
// display name without a trailing version, trimmed, blanks dropped, each once
// (ASCII case-blind), in that order. Not filtered by IsUsableName.
TextList ProductNames(const Text& installLocation, const Text& displayName);

// The names of the folders on the way to a program's install folder, as
// Windows names them (cleaned, 8.3 names expanded when it exists), the
// drive left out: "C:\Program Files\Google\Chrome\Application" gives
// "Program Files", "Google", "Chrome", "Application". A vendor folder is
// often named otherwise than the publisher ("Google" for "Google LLC").
TextList FolderNamesOnPath(const Text& installLocation);

// The places a program's names lead to, each a path below its base (the
// folder bases AppData, LocalAppData, ProgramData; the key base "Software"),
// without the base: "P\N", "N" for every product name N, and "P" alone.
// Upper-cased (ASCII) for comparison. With `usableOnly`, only usable names
// take part (what a program may claim); without, every non-empty name (what
// another program could own).
TextList NamePlacesBelowBase(const Text& publisher, const TextList& productNames, bool usableOnly);

// The form in which two places are one folder to Windows: upper-cased
// (ASCII), each name without its trailing dots and spaces ("Xco." and
// "XCO " both make the folder "Xco"). What another program could own is
// compared in this form.
Text SameFolderForm(const Text& place);

}  // namespace tw
