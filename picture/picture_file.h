// Teleprinter pictures: the characters a teleprinter prints, the text the
// editor shows ("<" for each CR, "^" for each LF) and the picture file.
//
// A picture file holds one byte per character in print order (letters in
// capitals, 13 for CR, 10 for LF, 0 in place of a character the machine
// cannot print) and ends in one 0 byte. No header, no length, no line-end
// translation; the sender stops at the first 0.
#pragma once

#include <string>
#include <string_view>

namespace tavirel {

// The picture character a value stands for: capitals for lower case, CR for
// "<", LF for "^", the character itself when a teleprinter prints it, else 0.
// Values of 128 and up, negative ones included, are 0.
int PictureCharFilter(int c);

// The editor's text for a file's bytes, all of them. Characters outside the
// picture set vanish; each CR shows as "<", doubled when it stands alone
// between two other characters; each LF as "^". A display line ("\r\n") ends
// after every LF and after the last CR of a run not followed by LF, so
// overstruck lines stand one under the other.
std::string DisplayFromFile(std::string_view bytes);

// The file for the editor's text, UTF-16 as the editor holds it. The
// editor's own line breaks (CR, LF) are dropped, "<" and "^" become CR and
// LF, and every other character is filtered: one outside the set (a
// surrogate pair counts as one) leaves a 0 in its place. Ends in one 0.
std::string FileFromDisplay(std::u16string_view text);

}  // namespace tavirel
