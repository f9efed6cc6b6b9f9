# Sanitizer build: filled in below.
