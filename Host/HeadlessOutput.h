// How the headless mode prints texts that may span lines: the first line after its label, every
// further line (after CR LF, CR or LF) on a line of its own indented by two spaces. Texts come from
// plug-ins and from their sources (entry names, server replies), so every other control character is
// printed as U+FFFD: nothing that reaches the terminal can steer it.
#pragma once

#include <QString>

#include <ostream>
#include <string>

// The text as the headless mode prints it: control characters as U+FFFD.
std::string Printable(const QString& text);

void PrintBlock(std::ostream& out, const QString& label, const QString& text);
// Every line of text indented by two spaces; a final line end adds no empty line.
void PrintIndented(std::ostream& out, const QString& text);
