// How the headless mode prints texts that may span lines: the first line after its label, every
// further line (after CR LF, CR or LF) on a line of its own indented by two spaces.
#pragma once

#include <QString>

#include <ostream>

void PrintBlock(std::ostream& out, const QString& label, const QString& text);
// Every line of text indented by two spaces; a final line end adds no empty line.
void PrintIndented(std::ostream& out, const QString& text);
