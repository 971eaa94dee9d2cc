"""SlimServer wire-behaviour simulator."""
