# Option pages, options dialog, control pane, style kit.
