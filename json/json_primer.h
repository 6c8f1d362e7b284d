// The engine primer: the script every document's engine runs before anything else.
//
// It defines get__count(c), which counts the properties a for-in loop over c visits less the two
// that the primer adds to every object, and fills in what the engine's ES3 language lacks:
//   - a global JSON object, with JSON.stringify(value, replacer, space) and
//     JSON.parse(text, reviver);
//   - Date.prototype.toJSON (UTC "yyyy-mm-ddThh:mm:ssZ", null for an invalid date) and a toJSON
//     on the Boolean, Number and String prototypes that gives the primitive value;
//   - Object.prototype.toJSONString(filter) and Object.prototype.parseJSON(filter), plain
//     assignments that every for-in loop over an object or array therefore visits.
// Each is installed only when missing. stringify escapes the characters that must not travel raw
// (short escapes for \b \t \n \f \r " and \, \u and four lower-case hex digits for other control
// characters and the invisible ranges U+007F-U+009F, U+00AD, U+0600-U+0604, U+070F, U+17B4,
// U+17B5, U+200C-U+200F, U+2028-U+202F, U+2060-U+206F, U+FEFF, U+FFF0-U+FFFF), writes
// non-finite numbers as null and leaves out undefined and function members. parse accepts a text
// only when its validating patterns find nothing but JSON tokens, and throws
// SyntaxError("JSON.parse") otherwise.
#pragma once

// NUL-terminated, ASCII only (so it reads the same in every code page).
extern const char kJsonPrimer[];
