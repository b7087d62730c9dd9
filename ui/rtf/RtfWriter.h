// Placeholder so the tree builds; replaced by the real RTF writer.
#pragma once
