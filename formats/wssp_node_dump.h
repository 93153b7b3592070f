#pragma once

#include <string>

#include "formats/wssp_node.h"

namespace cgp {

// A one-line picture of a node tree, for tests and diagnostics:
//   Seq(Text "a\n", Output(Call 332, Var name), If(Var x, Seq(Text ""), Empty))
// Texts are quoted with \n, \r, \t, \", \\ and \xNN escapes; Call and Menu show their
// code, Integer its number, Var, Elem, Loop and Include their text. Null gives "null".
std::string dumpWSSPTree(const WSSPNode* node);

}  // namespace cgp
