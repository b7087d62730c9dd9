// Anchor for the resource library; the resources themselves are added by qt_add_resources.
