// Whether the tool's standard error is a terminal (for the progress line).
#pragma once

bool standardErrorIsTerminal();
