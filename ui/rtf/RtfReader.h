// Placeholder so the tree builds; replaced by the real RTF reader.
#pragma once
