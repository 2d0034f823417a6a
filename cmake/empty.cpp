// Keeps every layer library non-empty while its folder fills up.
