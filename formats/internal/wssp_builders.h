#pragma once

#include <string>

#include "formats/wssp_node.h"

namespace cgp {

// The builders that the page grammar's actions call. Each returns a new node that the
// caller owns and passes it through cgparserNoteNode. Node arguments are taken over
// (owned and either kept as children or deleted); a null node argument is "absent".
// None of them fails, except makeLoopNode as described.

WSSPNode* makeTextNode(const std::string& text);
// The number is the text read as a decimal integer (leading blanks and a sign allowed,
// reading stops at the first other byte), saturated to the 32-bit range; 0 for no digits.
WSSPNode* makeIntegerNode(const std::string& text);
// A Variable with the lower-cased name.
WSSPNode* makeVariableNode(const std::string& name);
// Output with the children [encoding (Empty when absent), expression (Empty when absent)].
WSSPNode* makeOutputNode(WSSPNode* expression, WSSPNode* encoding);
// Call of code with the present operands, in order.
WSSPNode* makeOperatorNode(int code, WSSPNode* first, WSSPNode* second);
// Call of code; a Sequence argument gives its children as the operands (the Sequence is
// deleted), any other argument becomes the one operand, none gives no operands.
WSSPNode* makeFunctionNode(int code, WSSPNode* arguments);
// LoopElement carrying the variable's (lower-cased) name; the variable node is deleted.
WSSPNode* makeLoopElementNode(WSSPNode* variable);
// Menu of code with the operands in order; absent operands before a present one become
// Empty nodes, absent trailing ones are left out.
WSSPNode* makeMenuNode(int code, WSSPNode* first, WSSPNode* second, WSSPNode* third, WSSPNode* fourth);
// Conditional: condition, body, then the children of elifPairs (a Sequence of condition,
// body, condition, body, ...; deleted; may be absent), then the else body, which is an
// Empty node when absent, so the else part is always the last child.
WSSPNode* makeConditionalNode(WSSPNode* condition, WSSPNode* body, WSSPNode* elifPairs, WSSPNode* elseBody);
// Loop named after openingName (a Variable) with the children [list, body, emptyBody
// (Empty when absent)]. When the loop has an EMPTYFOR part (emptyForName not null), the
// EMPTYFOR and ENDFOR names must equal the opening name: otherwise a log line reports
// the three names, every argument is deleted and the result is null (the parse fails).
// The name nodes are deleted.
WSSPNode* makeLoopNode(WSSPNode* openingName, WSSPNode* list, WSSPNode* body, WSSPNode* emptyForName,
                       WSSPNode* emptyBody, WSSPNode* closingName);
// Appends node to sequence (a new Sequence when sequence is null) and returns the
// sequence. A Text that follows a Text is merged into it and deleted.
WSSPNode* appendToSequence(WSSPNode* sequence, WSSPNode* node);
// Include of name; the children of arguments (a Sequence, deleted; may be absent)
// become its children.
WSSPNode* makeIncludeNode(const std::string& name, WSSPNode* arguments);

}  // namespace cgp
