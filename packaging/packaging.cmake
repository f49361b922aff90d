# Installed files and the Debian package: filled in by the packaging work.
