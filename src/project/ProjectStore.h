#pragma once
// The published properties of TProject as the window description stores
// them: the binding between a stored object and a component.
#include <string>
#include <vector>

#include "project/FormDescription.h"
#include "project/Project.h"

const char* LanguageName(TLanguage value);
const char* CharsetName(TCharset value);
const char* FileTypeName(TFileType value);

// Checks every stored property of a TProject object (name, kind, member,
// range) and raises EDescriptionError at the first that does not fit.
void CheckStoredProject(const TStoredObject& object);
// Assigns the stored values in stored order; check them first.
void AssignStoredProject(TProject& project, const TStoredObject& object);
// The properties as they are stored: Booleans and enumerations always, Build
// unless 0, texts unless empty, lists unless they have no lines.
std::vector<TStoredProperty> StoredProjectProperties(const TProject& project);

// One assignment written as text, "Version=1.01" on a command line: a text
// as it is, True/False, a member name, a decimal number, or one list line
// (an empty value clears the list). Raises EProjectError for a bad one.
void AssignPropertyText(TProject& project, const std::string& name, const std::string& value);
