"""The exception of a log the reader refuses."""


class LogError(Exception):
    """A log that the plug-in refused or could not decode.

    ``path`` is the log, ``code`` the reader's result code (-1 when the log
    could not be decoded at all, e.g. no data-file type for its extension).
    """

    def __init__(self, path, code, message):
        super().__init__(message)
        self.path = path
        self.code = code

    def __reduce__(self):
        return (LogError, (self.path, self.code, str(self)))
