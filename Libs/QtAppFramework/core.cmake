# Settings model and store, loggers, log router, docks, layout files.
