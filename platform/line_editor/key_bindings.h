// The keys of the prompt's line editor, where they differ from the editor's emacs defaults: as
// shells and other prompts bind them, with every escape sequence read to its end so that the rest
// of one without a meaning here never lands in the line.
#pragma once

#include <histedit.h>

// Adds the prompt's own editor functions to `editor` and binds its keys.
void bind_prompt_keys(EditLine* editor);
