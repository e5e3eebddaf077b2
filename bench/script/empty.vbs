' Nothing: the host's start-up and shut-down alone.
