#pragma once

// Plain-text positions over a document tree, as edit controls count them:
// a paragraph break is one character (#13) standing before every item that
// starts a paragraph, the first item of every document included; a text item
// counts its characters; a tab item is one #9 and any other item without
// nested documents one space; an item that holds documents counts its own
// break, then each nested document (its first break and its characters),
// then a closing break.
//
// Characters are UTF-16 units of the text as the program shows it: an ANSI
// item counts the characters its bytes stand for, and a position inside it
// maps back to the byte offset of that character (never inside a
// double-byte character or a surrogate pair).

#include <QtCore/QString>

class TCustomRDData;

// The count of item itemNo of data, its leading break included.
int ItemLinearLength(TCustomRDData* data, int itemNo);
// The sum over the document's items.
int DocumentLinearLength(TCustomRDData* data);
// The position of (itemNo, offset) of target counted from the start of data
// (the leading break of data's first item is position 0 .. 1); false, with
// pos the length of data, when target is not data or a document inside it.
bool LinearPosOf(TCustomRDData* data, TCustomRDData* target, int& pos, int offset, int itemNo);
// The inverse, pos counted after the leading break of data: the document,
// item and offset there. False when pos lies beyond the text.
bool PosFromLinear(TCustomRDData* data, int& pos, int& offset, int& itemNo, TCustomRDData*& foundData);
// count characters from start (count below 0: to the end; 0: none); start
// counted after the root's leading break.
QString LinearTextRange(TCustomRDData* root, int start, int count);
// The whole text's length, the root's leading break not counted.
int LinearTextLength(TCustomRDData* root);
